#include "saves/SaveFile.h"

#include <array>

#include "platform/Files.h"
#include "util/GameText.h"
#include "util/Text.h"

namespace tarvex {

namespace {
struct Section {
  const char* marker;
  const char* field;  // nullptr: the bot skill digit
};

// The order and marker lines are the file's layout; the reader never looks at markers.
constexpr std::array<Section, 53> kSections{{
    {"----------------Server_Name", "Server_Name"},
    {"----------------Server_Quote_Text", "Server_Quote_Text"},
    {"----------------Dedicated_button", "Dedicated_button"},
    {"--------------Dedicated_Internet", "dedicated_internet"},
    {"----------------Pure_yes", "Pure_yes"},
    {"----------------game_1v1", "game_1v1"},
    {"----------------Game_DM", "Game_DM"},
    {"----------------Game_Team_DM", "Game_Team_DM"},
    {"----------------Game_CTF", "Game_CTF"},
    {"----------------Console_Password", "Console_Password"},
    {"----------------Private_Password", "Private_Password"},
    {"----------------MaxPlayers", "MaxPlayers"},
    {"----------------MinPlayers", "MinPlayers"},
    {"----------------Ghost_Time", "Ghost_Time"},
    {"----------------Player_Respawn_Yes", "Player_Respawn_Yes"},
    {"----------------Player_Respawn_Time", "Player_Respawn_Time"},
    {"----------------allow_vote", "allow_vote"},
    {"----------------kick_yes", "kick_yes"},
    {"----------------kick_text", "kick_text"},
    {"----------------Cheats_yes", "Cheats_yes"},
    {"----------------warmup_yes", "warmup_yes"},
    {"----------------WarmupTime", "WarmupTime"},
    {"----------------gamespeed", "gamespeed"},
    {"----------------game_gravity", "game_gravity"},
    {"----------------Quad_Text", "Quad_Text"},
    {"----------------Knockback_Text", "Knockback_Text"},
    {"----------------adapt_respawn", "adapt_respawn"},
    {"----------------weapon_respawn_time", "weapon_respawn_time"},
    {"----------------friendly_yes", "friendly_yes"},
    {"----------------team_auto_join_yes", "team_auto_join_yes"},
    {"----------------team_balance_yes", "team_balance_yes"},
    {"----------------Max_Ping", "Max_Ping"},
    {"----------------Min_Ping", "Min_Ping"},
    {"----------------flood_yes", "flood_yes"},
    {"----------------NetPort_Yes", "NetPort_Yes"},
    {"----------------NetPort", "NetPort"},
    {"----------------NetIP_Check", "NetIP_Check"},
    {"----------------NetPort", "NetIP"},
    {"----------------write_memory", "write_memory"},
    {"----------------Memory", "Memory"},
    {"----------------holo_yes", "holo_yes"},
    {"----------------gamelogcheck", "gamelogcheck"},
    {"----------------GameLogText", "GameLogText"},
    {"----------------download_yes", "download_yes"},
    {"----------------MaxPackets", "MaxPackets"},
    {"----------------write_max_yes", "write_max_yes"},
    {"----------------MaxRate", "MaxRate"},
    {"----------------Bot_Chat", "Bot_Chat"},
    {"----------------Master3", "Master3"},
    {"----------------Master4", "Master4"},
    {"---------------Master5", "Master5"},
    {"---------------PrivateClients", "Private_Text"},
    {"----------------BotSkill", nullptr},
}};

constexpr const char* kMapsMarker = "---#MAPS IN THE LISTBOX";
constexpr const char* kLimitsMarker = "-------MAP SETTINGS --";
constexpr const char* kClosingLine = "------------------";
}  // namespace

bool keptInSave(std::string_view fieldName) {
  const FieldSpec& field = fieldSpec(fieldName);
  for (const auto& section : kSections) {
    if (section.field ? section.field == fieldName : field.group == ChoiceGroup::BotSkill) return true;
  }
  // The server type's first option is kept as neither of the other two.
  return field.group == ChoiceGroup::ServerType;
}

std::string writeSave(std::string_view slotTitle, std::string_view description, const Configuration& config) {
  const ServerSettings& s = config.settings;
  std::string out;
  appendLine(out, slotTitle);
  appendLine(out, description);
  for (const auto& section : kSections) {
    appendLine(out, section.marker);
    if (!section.field) {
      appendLine(out, std::to_string(s.selected(ChoiceGroup::BotSkill).choiceNumber));
    } else if (fieldSpec(section.field).kind == FieldKind::Text) {
      appendLine(out, s.text(section.field));
    } else {
      appendLine(out, s.isOn(section.field) ? "1" : "0");
    }
  }
  appendLine(out, kMapsMarker);
  appendLine(out, std::to_string(config.rotation.maps.size()));
  for (const auto& name : config.rotation.maps) appendLine(out, name);
  appendLine(out, kLimitsMarker);
  appendLine(out, std::to_string(config.catalogue.rows.size()));
  for (const auto& row : config.catalogue.rows) {
    appendLine(out, row.name);
    appendLine(out, row.fragLimit);
    appendLine(out, row.timeLimit);
    appendLine(out, row.captureLimit);
  }
  appendLine(out, kClosingLine);
  for (int i = 0; i < 15; ++i) appendLine(out, "");
  return out;
}

Problem saveRefusal(std::string_view description, const Configuration& config) {
  const std::string tail = " holds a line break, which a save file cannot keep.  Nothing was saved.";
  if (holdsLineBreak(description)) return "ERROR:  The description" + tail;
  for (const auto& field : fieldTable()) {
    if (field.kind == FieldKind::Text && holdsLineBreak(config.settings.text(field.name)))
      return "ERROR:  The setting \"" + std::string(field.caption) + "\" (" + std::string(field.name) + ")" + tail;
  }
  for (const auto& row : config.catalogue.rows) {
    for (const std::string* value : {&row.name, &row.fragLimit, &row.timeLimit, &row.captureLimit})
      if (holdsLineBreak(*value)) return "ERROR:  The map \"" + row.name + "\" or one of its limits" + tail;
  }
  for (const auto& name : config.rotation.maps)
    if (holdsLineBreak(name)) return "ERROR:  The rotation" + tail;
  return {};
}

SlotSave saveSlotFile(const std::filesystem::path& file, std::string_view title, std::string_view description,
                      const Configuration& config) {
  if (Problem refusal = saveRefusal(description, config); !refusal.ok()) return {std::move(refusal), {}};
  const std::string bytes = writeSave(title, description, config);
  if (bytes.size() > kMaxWrittenSaveBytes)
    return {"ERROR:  The configuration would make a save file of " + std::to_string(bytes.size()) +
                " bytes, and a save slot holds at most " + std::to_string(kMaxWrittenSaveBytes) +
                " (the description or the map list is far too long).  Nothing was saved.",
            {}};
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  return {{}, writeFileAtomic(file, bytes, FileAccess::OwnerOnly)};
}

namespace {
// Applies one section's value line as a user's change of the control would.
bool applySection(ServerSettings& s, const Section& section, std::string_view value) {
  if (!section.field) {
    if (value.size() == 1 && value[0] >= '1' && value[0] <= '5') s.select("skill" + std::string(value));
    return true;
  }
  const std::string_view name = section.field;
  const FieldSpec& declared = fieldSpec(name);
  if (declared.kind == FieldKind::Text) {
    s.setText(name, std::string(value));
  } else if (name == "Dedicated_button") {
    s.select(value == "1" ? "Dedicated_button" : "NonDedicated_Button");
  } else if (declared.kind == FieldKind::Choice) {
    if (value == "1") s.select(name);
  } else if (name == "Pure_yes") {
    s.setSwitch(name, value == "1");
  } else {
    const auto number = parseNumber(value);
    if (!number) return false;
    s.setSwitch(name, *number == 1.0);
  }
  return true;
}
}  // namespace

RestoreOutcome restoreSave(std::string_view bytes, Configuration& config) {
  if (bytes.size() > kMaxSaveFileBytes) return RestoreOutcome::Unreadable;
  LineReader reader(bytes);
  if (!reader.next()) return RestoreOutcome::Unreadable;  // the slot's title
  const auto description = reader.next();
  if (!description) return RestoreOutcome::Unreadable;
  if (*description == kUnusedDescription) return RestoreOutcome::NeverUsed;

  // Each value follows its marker line; the markers themselves are for people.
  const auto value = [&reader]() -> std::optional<std::string_view> {
    if (!reader.next()) return std::nullopt;
    return reader.next();
  };
  Configuration next = config;
  for (const auto& section : kSections) {
    const auto line = value();
    if (!line || !applySection(next.settings, section, *line)) return RestoreOutcome::Unreadable;
  }

  const auto rotationCount = value();
  const auto rotationSize = rotationCount ? parseCount(*rotationCount) : std::nullopt;
  if (!rotationSize) return RestoreOutcome::Unreadable;
  next.rotation.maps.clear();
  for (long i = 0; i < *rotationSize; ++i) {
    const auto name = reader.next();
    if (!name) return RestoreOutcome::Unreadable;
    next.rotation.maps.emplace_back(*name);
  }

  const auto groupCount = value();
  const auto groups = groupCount ? parseCount(*groupCount) : std::nullopt;
  if (!groups) return RestoreOutcome::Unreadable;
  const MapNameIndex index(next.catalogue);
  for (long g = 0; g < *groups; ++g) {
    std::string_view group[4];
    for (auto& line : group) {
      const auto read = reader.next();
      if (!read) return RestoreOutcome::Unreadable;
      line = *read;
    }
    const int row = index.lastIndexOf(group[0]);
    if (row < 0) continue;
    MapEntry& entry = next.catalogue.rows[static_cast<std::size_t>(row)];
    entry.fragLimit.assign(group[1]);
    entry.timeLimit.assign(group[2]);
    entry.captureLimit.assign(group[3]);
  }
  // inter_time is not in the file, and the rotation's single-add counter is the window's own.
  config = std::move(next);
  return RestoreOutcome::Restored;
}

std::optional<std::string> saveDescription(std::string_view bytes) {
  LineReader reader(bytes);
  if (!reader.next()) return std::nullopt;
  const auto description = reader.next();
  if (!description) return std::nullopt;
  return std::string(*description);
}

std::filesystem::path slotPath(const std::filesystem::path& appFolder, int slot) {
  return appFolder / "save" / ("save" + std::to_string(slot) + ".sav");
}

std::string slotTitle(int slot) { return "Save File #" + std::to_string(slot); }

std::string unreadableSlotMessage(int slot, std::string_view file) {
  return "ERROR:  Save file #" + std::to_string(slot) + " (" + std::string(file) +
         ") is missing or unreadable.  Nothing was changed.";
}

SaveRead restoreSaveFile(const std::filesystem::path& file, int slot, Configuration& config) {
  const FileBytes bytes = readFileBytes(file, kMaxSaveFileBytes);
  const std::string name = fromPath(file);
  if (bytes.status == ReadStatus::TooLarge) {
    const std::string which =
        slot != 0 ? "Save file #" + std::to_string(slot) + " (" + name + ")" : "The save file " + name;
    return {RestoreOutcome::Unreadable,
            "ERROR:  " + which + " is larger than 16 MB, which no save file is.  Nothing was changed."};
  }
  const RestoreOutcome outcome =
      bytes.status == ReadStatus::Ok ? restoreSave(bytes.bytes, config) : RestoreOutcome::Unreadable;
  if (outcome == RestoreOutcome::Unreadable)
    return {outcome, slot != 0 ? unreadableSlotMessage(slot, name) : unreadableSaveFileMessage(name)};
  return {outcome, outcome == RestoreOutcome::NeverUsed ? kNeverUsedMessage : ""};
}

std::string unreadableSaveFileMessage(std::string_view file) {
  return "ERROR:  The save file " + std::string(file) + " is missing or unreadable.  Nothing was changed.";
}

}  // namespace tarvex
