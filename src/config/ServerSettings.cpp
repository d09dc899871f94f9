#include "config/ServerSettings.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace tarvex {

namespace {
using K = FieldKind;
using G = ChoiceGroup;

FieldSpec text(std::string_view name, std::string_view key, std::string_view caption, std::string_view start, int max,
               bool digits, std::string_view governor = {}, bool emptied = false) {
  return {name, K::Text, caption, start, max, digits, governor, emptied, 0, G::None, 0, false, key, {}};
}
FieldSpec toggle(std::string_view name, std::string_view key, std::string_view caption, bool on, int sound) {
  return {name, K::Switch, caption, on ? "1" : "0", 0, false, {}, false, sound, G::None, 0, false, key, {}};
}
FieldSpec choice(std::string_view name, std::string_view key, std::string_view caption, bool on, int sound,
                 ChoiceGroup group, int number) {
  return {name, K::Choice, caption, on ? "1" : "0", 0, false, {}, false, sound, group, number, false, key, {}};
}

// The field as the script sets it, at its place in the script's order.
FieldSpec game(FieldSpec field, int order, std::string_view verb, std::string_view variable,
               ValueForm form = ValueForm::Quoted, std::string_view gap = " ") {
  field.scriptOrder = order;
  field.verb = verb;
  field.variable = variable;
  field.form = form;
  field.gap = gap;
  return field;
}
// A governed text's line while its switch is off.
FieldSpec whenOff(FieldSpec field, WhenOff off, std::string_view value = {}) {
  field.whenOff = off;
  field.offValue = value;
  return field;
}
// Set on the game's command line too (a variable the script does not set is named).
FieldSpec onCommandLine(FieldSpec field, std::string_view variable = {}) {
  field.onCommandLine = true;
  if (!variable.empty()) field.variable = variable;
  return field;
}

const std::vector<FieldSpec>& builtInTable() {
  static const std::vector<FieldSpec> fields = [] {
    std::vector<FieldSpec> f;
    f.reserve(64);  // every field below, in one allocation
    const auto tab = [&f](std::string_view name, std::size_t from) {
      for (std::size_t i = from; i < f.size(); ++i) f[i].tab = name;
    };
    // Tab "Server"
    f.push_back(game(text("Server_Name", "server-title", "Server Title:", "Tarvex Server", kMaxValueBytes, false), 10,
                     "seta", "sv_hostname", ValueForm::ServerName));
    f.push_back(game(
        text("Server_Quote_Text", "server-quote", "Server Quote:", "...Set Phasers to Full!", kMaxValueBytes, false),
        20, "seta", "g_motd"));
    // The passwords are set, not kept: "seta" would have the engine store them
    // in its own configuration file, which it writes readable by everyone.
    f.push_back(game(text("Console_Password", "console-password", "Console Password:", "", kMaxValueBytes, false), 30,
                     "set", "rconpassword", ValueForm::ConsolePassword));
    f.push_back(
        game(text("Private_Password", "private-client-password", "Private Client Password:", "", kMaxValueBytes, false),
             40, "set", "sv_privatePassword"));
    f.push_back(onCommandLine(
        choice("NonDedicated_Button", "non-dedicated", "Non-Dedicated ", true, 2, G::ServerType, 0), "dedicated"));
    f.push_back(onCommandLine(
        choice("Dedicated_button", "dedicated-lan", "Dedicated - LAN", false, 1, G::ServerType, 1), "dedicated"));
    f.push_back(onCommandLine(
        choice("dedicated_internet", "dedicated-internet", "Dedicated - Internet", false, 0, G::ServerType, 2),
        "dedicated"));
    f.push_back(game(toggle("Pure_yes", "pure-server", "Pure Server?", true, 3), 330, "seta", "sv_pure"));
    f.push_back(game(choice("game_1v1", "1-vs-1", "1 VS 1", false, 7, G::GameType, 1), 420, "set", "g_gametype",
                     ValueForm::Raw));
    f.push_back(game(choice("Game_DM", "death-match", "Death Match", true, 4, G::GameType, 0), 420, "set", "g_gametype",
                     ValueForm::Raw));
    f.push_back(game(choice("Game_Team_DM", "team-death-match", "Team Death Match", false, 3, G::GameType, 3), 420,
                     "set", "g_gametype", ValueForm::Raw));
    f.push_back(game(choice("Game_CTF", "capture-the-flag", "Capture The Flag", false, 2, G::GameType, 4), 420, "set",
                     "g_gametype", ValueForm::Raw));
    tab("Server", 0);
    std::size_t from = f.size();
    // Tab "Settings"
    f.push_back(game(text("gamespeed", "game-speed", "Set Game Speed", "300", 4, true), 340, "seta", "g_speed"));
    f.push_back(game(text("game_gravity", "game-gravity", "Set Game Gravity", "800", 5, true), 200, "seta", "g_gravity",
                     ValueForm::Quoted, "  "));
    f.push_back(game(text("inter_time", "intermission-time", "Intermission Time (seconds)", "10", 4, true), 180, "seta",
                     "g_intermissionTime", ValueForm::Quoted, "  "));
    f.push_back(
        game(toggle("friendly_yes", "friendly-fire", "Friendly Fire", false, 7), 140, "seta", "g_friendlyfire"));
    f.push_back(game(toggle("team_auto_join_yes", "auto-join-teams", "Auto-Join Players to Teams?", false, 4), 150,
                     "seta", "g_teamAutoJoin"));
    f.push_back(game(toggle("team_balance_yes", "force-team-balance", "Force Team Balance?", false, 3), 160, "seta",
                     "g_teamForceBalance", ValueForm::Quoted, "  "));
    f.push_back(game(text("Quad_Text", "weapon-enhancer-damage", "Weapon Enhancer Damage", "3", 2, true), 70, "seta",
                     "g_quadfactor", ValueForm::Raw));
    f.push_back(game(text("Knockback_Text", "weapon-damage-knockback", "Weapon Damage Knockback", "500", 5, true), 80,
                     "seta", "g_knockback"));
    f.push_back(game(toggle("adapt_respawn", "adaptive-item-respawn", "Adaptive Item Respawn?", false, 2), 210, "seta",
                     "g_adaptrespawn"));
    f.push_back(game(text("weapon_respawn_time", "respawn-weapons-every", "Respawn weapons every", "5", 3, true), 220,
                     "seta", "g_weaponrespawn"));
    f.push_back(
        game(text("MaxPlayers", "maximum-players", "Maximum Players", "8", 2, true), 50, "seta", "sv_maxclients"));
    f.push_back(
        game(text("MinPlayers", "minimum-players", "Minimum Players", "0", 2, true), 60, "seta", "bot_minplayers"));
    f.push_back(game(text("Private_Text", "private-clients", "Private Clients", "0", 2, true), 310, "seta",
                     "sv_privateClients"));
    f.push_back(game(text("Ghost_Time", "invulnerability-after-respawn", "Seconds of Invulnerability After Respawn",
                          "5", kMaxValueBytes, true),
                     100, "seta", "g_ghostRespawn"));
    f.push_back(toggle("Player_Respawn_Yes", "force-player-respawn", "Force player respawn after", false, 1));
    f.push_back(whenOff(game(text("Player_Respawn_Time", "force-player-respawn-after", "Seconds", "1", kMaxValueBytes,
                                  true, "Player_Respawn_Yes"),
                             90, "seta", "g_forcerespawn"),
                        WhenOff::Value, "0"));
    f.push_back(
        game(toggle("allow_vote", "allow-player-voting", "Allow Player Voting?", true, 2), 360, "seta", "g_allowvote"));
    f.push_back(toggle("kick_yes", "kick-inactive-players", "Kick inactive players after", false, 3));
    f.push_back(whenOff(
        game(text("kick_text", "kick-inactive-players-after", "Seconds", "60", kMaxValueBytes, true, "kick_yes"), 130,
             "seta", "g_inactivity", ValueForm::Raw),
        WhenOff::Value, "0"));
    f.push_back(
        game(toggle("Cheats_yes", "allow-server-cheats", "Allow Server Cheats?", false, 4), 320, "seta", "sv_cheats"));
    f.push_back(game(toggle("warmup_yes", "warmup", "Warmup", true, 5), 110, "seta", "g_doWarmup", ValueForm::Raw));
    f.push_back(whenOff(game(text("WarmupTime", "warmup-seconds", "seconds", "10", 4, true, "warmup_yes"), 120, "seta",
                             "g_warmup", ValueForm::Raw),
                        WhenOff::Nothing));
    tab("Settings", from);
    from = f.size();
    // Tab "Bots"
    f.push_back(game(choice("skill1", "cadet", "Cadet", false, 1, G::BotSkill, 1), 380, "seta", "g_spSkill"));
    f.push_back(game(choice("skill2", "ensign", "Ensign", true, 2, G::BotSkill, 2), 380, "seta", "g_spSkill"));
    f.push_back(game(choice("skill3", "lieutenant", "Lieutenant", false, 3, G::BotSkill, 3), 380, "seta", "g_spSkill"));
    f.push_back(game(choice("skill4", "commander", "Commander", false, 4, G::BotSkill, 4), 380, "seta", "g_spSkill"));
    f.push_back(game(choice("skill5", "captain", "Captain", false, 5, G::BotSkill, 5), 380, "seta", "g_spSkill"));
    f.push_back(game(toggle("Bot_Chat", "turn-bot-chatting-off", "Turn Bot Chatting Off?", false, 7), 370, {},
                     "bot_nochat", ValueForm::Raw));
    tab("Bots", from);
    from = f.size();
    // Tab "Advanced"
    f.push_back(game(text("Max_Ping", "client-maximum-ping", "Client Maximum Ping", "500", 4, true), 280, "seta",
                     "sv_maxPing"));
    f.push_back(
        game(text("Min_Ping", "client-minimum-ping", "Client Minimum Ping", "0", 3, true), 290, "seta", "sv_minPing"));
    f.push_back(game(toggle("flood_yes", "server-flood-protection", "Server Flood Protection on?", true, 1), 350,
                     "seta", "sv_floodProtect"));
    f.push_back(toggle("NetPort_Yes", "set-net-port", "Set Netport?", false, 2));
    f.push_back(onCommandLine(whenOff(game(text("NetPort", "net-port", "Net Port", "27660", 6, true, "NetPort_Yes"),
                                           410, "+seta", "net_port", ValueForm::Digits),
                                      WhenOff::Nothing)));
    f.push_back(toggle("NetIP_Check", "set-net-ip", "Set Net IP?", false, 3));
    // Set, not kept: an address kept would bind a later server started without one.
    f.push_back(onCommandLine(whenOff(game(text("NetIP", "net-ip", "Net IP", "", 15, false, "NetIP_Check", true), 400,
                                           "set", "net_ip", ValueForm::Address, "  "),
                                      WhenOff::Reset)));
    f.push_back(toggle("write_memory", "change-reserved-memory", "Change Reserved Memory?", false, 3));
    f.push_back(onCommandLine(whenOff(
        game(text("Memory", "reserved-megs-for-server", "Reserverd Megs For Server", "", 3, true, "write_memory", true),
             390, "seta", "com_hunkMegs", ValueForm::Digits),
        WhenOff::Reset)));
    f.push_back(
        game(toggle("holo_yes", "animated-holodeck-intro", "Animimated Holodeck Intro displays on clients?", false, 7),
             190, "seta", "g_holoIntro", ValueForm::Quoted, "  "));
    // The clients' switch and the server's own.
    f.push_back(game(toggle("download_yes", "allow-clients-to-download", "Allow Clients to Download?", true, 2), 260,
                     "seta", "cl_allowDownload sv_allowDownload"));
    f.push_back(whenOff(game(text("MaxPackets", "max-packets", "Max Packets", "30", 3, true, "download_yes"), 270,
                             "seta", "cl_maxpackets"),
                        WhenOff::Nothing));
    f.push_back(toggle("write_max_yes", "write-max-rate", "Write MaxRate?", false, 7));
    f.push_back(whenOff(
        game(text("MaxRate", "max-rate", "Max Rate", "7000", 5, true, "write_max_yes"), 300, "seta", "sv_maxRate"),
        WhenOff::Reset));
    f.push_back(toggle("gamelogcheck", "create-a-server-log-file", "Create a Server Log File?", false, 1));
    f.push_back(whenOff(game(text("GameLogText", "server-log-file", "Server Log File", "C:\\HOLOMATCH_LOG.TXT",
                                  kMaxValueBytes, false, "gamelogcheck"),
                             170, "seta", "g_log", ValueForm::Quoted, "  "),
                        WhenOff::Value, ""));
    FieldSpec master2 =
        text("Master2", "master-server-2", "Master Server #2", "master.stef1.ravensoft.com", kMaxValueBytes, false);
    master2.readOnly = true;
    f.push_back(master2);
    f.push_back(game(text("Master3", "master-server-3", "Master Server #3", "", kMaxValueBytes, false), 230, "seta",
                     "sv_master3"));
    f.push_back(game(text("Master4", "master-server-4", "Master Server #4", "", kMaxValueBytes, false), 240, "seta",
                     "sv_master4"));
    f.push_back(game(text("Master5", "master-server-5", "Master Server #5", "", kMaxValueBytes, false), 250, "seta",
                     "sv_master5"));
    tab("Advanced", from);
    return f;
  }();
  return fields;
}

const std::vector<FieldSpec>*& tableInUse() {
  static const std::vector<FieldSpec>* fields = &builtInTable();
  return fields;
}

const std::vector<FieldSpec>& table() { return *tableInUse(); }
}  // namespace

std::span<const FieldSpec> fieldTable() { return table(); }

std::vector<const FieldSpec*> scriptFields() {
  std::vector<const FieldSpec*> set;
  for (const auto& field : table())
    if (field.scriptOrder > 0) set.push_back(&field);
  std::stable_sort(set.begin(), set.end(),
                   [](const FieldSpec* a, const FieldSpec* b) { return a->scriptOrder < b->scriptOrder; });
  return set;
}

FieldTableInUse::FieldTableInUse(std::vector<FieldSpec> fields) : fields_(std::move(fields)), before_(tableInUse()) {
  tableInUse() = &fields_;
}

FieldTableInUse::~FieldTableInUse() { tableInUse() = before_; }

bool isBare(ValueForm form) {
  return form == ValueForm::Raw || form == ValueForm::Digits || form == ValueForm::Address;
}

std::string_view groupKey(ChoiceGroup group) {
  switch (group) {
    case ChoiceGroup::ServerType:
      return "server-type";
    case ChoiceGroup::GameType:
      return "game-type";
    case ChoiceGroup::BotSkill:
      return "bot-skill";
    case ChoiceGroup::None:
      break;
  }
  return {};
}

const FieldSpec& fieldSpec(std::string_view name) {
  for (const auto& field : table()) {
    if (field.name == name) return field;
  }
  throw std::out_of_range("unknown setting " + std::string(name));
}

const FieldSpec* governedText(std::string_view switchName) {
  for (const auto& field : table()) {
    if (field.kind == FieldKind::Text && field.governor == switchName) return &field;
  }
  return nullptr;
}

ServerSettings::ServerSettings() {
  for (const auto& field : table()) {
    texts_.emplace_back(field.kind == FieldKind::Text ? field.start : std::string_view{});
    on_.push_back(field.kind != FieldKind::Text && field.start == "1");
  }
}

std::size_t ServerSettings::index(std::string_view name) const {
  const auto& fields = table();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].name == name) return i;
  }
  throw std::out_of_range("unknown setting " + std::string(name));
}

const std::string& ServerSettings::text(std::string_view name) const { return texts_[index(name)]; }

void ServerSettings::setText(std::string_view name, std::string value) { texts_[index(name)] = std::move(value); }

bool ServerSettings::isOn(std::string_view name) const { return on_[index(name)]; }

void ServerSettings::setSwitch(std::string_view name, bool on) {
  on_[index(name)] = on;
  if (const FieldSpec* governed = governedText(name); governed && !on && governed->emptiedWhenOff)
    texts_[index(governed->name)].clear();
}

void ServerSettings::select(std::string_view choiceName) {
  const FieldSpec& chosen = fieldSpec(choiceName);
  const auto& fields = table();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].kind == FieldKind::Choice && fields[i].group == chosen.group) on_[i] = fields[i].name == choiceName;
  }
}

const FieldSpec& ServerSettings::selected(ChoiceGroup group) const {
  const auto& fields = table();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].kind == FieldKind::Choice && fields[i].group == group && on_[i]) return fields[i];
  }
  throw std::logic_error("option group without a selection");
}

bool ServerSettings::isEnabled(std::string_view textName) const {
  const FieldSpec& field = fieldSpec(textName);
  if (field.readOnly) return false;
  return field.governor.empty() || isOn(field.governor);
}

}  // namespace tarvex
