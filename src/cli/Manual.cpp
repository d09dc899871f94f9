// tarvex-cli's help sections and its manual page, made from the table of
// commands and options.
#include "cli/Manual.h"

#include <string_view>

namespace tarvex {
namespace {

// What --help adds after the commands and options, and the manual page's
// sections of the same names.
struct HelpSection {
  const char* manualTitle;
  const char* title;
  const char* body;  // lines, each indented by two blanks
};
constexpr HelpSection kSections[] = {
    {"FILES", "Files",
     "  The program folder (--app-folder, default: the folder of this program)\n"
     "  holds the shipped maps.ini, Map_Images/ and the start save slots.\n"
     "  What Tarvex writes (path.ini, save/saveN.sav, logs/, run/, and the maps\n"
     "  added with find-maps --add: maps.ini and Map_Images/) goes into a data\n"
     "  folder:\n"
     "    the program folder itself when it is writable and no package installed\n"
     "    it (a portable folder);\n"
     "    else the user's: $XDG_DATA_HOME/tarvex, else ~/.local/share/tarvex\n"
     "    (Windows: %APPDATA%\\Tarvex);\n"
     "    with --system the services' own: /var/lib/tarvex (Windows:\n"
     "    %ProgramData%\\Tarvex; TARVEX_SYSTEM_FOLDER names another). Run as root,\n"
     "    tarvex-cli --system acts as the owner of that folder (the user tarvex),\n"
     "    so that the service can read and write all it holds; config --edit\n"
     "    runs the editor as the user who started tarvex-cli, on a copy.\n"
     "  The maps added there lie over the shipped list: an added map of a\n"
     "  shipped map's name takes its place.\n"
     "  path.ini names the game folder (the folder of stvoyHM.exe, with BaseEF);\n"
     "  game-folder shows and sets it.\n"
     "  The game's output never goes to tarvex-cli's terminal: logs/INSTANCE.log\n"
     "  in the data folder (logs/slot3.log for --slot 3, logs/game.log without a\n"
     "  slot and for the window), at most --log-size MB, with --log-keep earlier\n"
     "  files.\n"},
    {"ENVIRONMENT", "Environment",
     "  On Linux the game runs through \"wine\", or through the program named by\n"
     "  TARVEX_GAME_RUNNER. The game is a 32-bit Windows program: on amd64, Wine\n"
     "  needs its 32-bit part (as root: dpkg --add-architecture i386 && apt-get\n"
     "  update && apt-get install wine32:i386); check says whether it is there.\n"
     "  Wine's prefix is WINEPREFIX, else ~/.wine of the user who runs the game\n"
     "  (/var/lib/tarvex/.wine for the services). WINEDEBUG, when set, says which\n"
     "  of Wine's notes reach the game's log (else its errors, not its fixme\n"
     "  notes). VISUAL, else EDITOR, is the editor of config --edit.\n"},
    {"EXAMPLES", "A first server from the shell (slot 3, as the service tarvex@3)",
     "  sudo tarvex-cli --system game-folder /srv/eliteforce\n"
     "  sudo tarvex-cli --system find-maps --add\n"
     "  sudo tarvex-cli --system config --slot 3 --edit\n"
     "  sudo systemctl enable --now tarvex@3\n"
     "  tarvex-cli --system status --slot 3\n"
     "  journalctl -u tarvex@3 -f\n"
     "  sudo tarvex-cli --system check --slot 3    # what keeps it from starting\n"},
    {"EXIT STATUS", "Exit status",
     "  0 done (run: stopped by a signal); 1 refused by a check or an unusable\n"
     "  slot, nothing written and nothing started, or no answer (status); 2 usage\n"
     "  error; 3 the script was written but the game could not be started, ended\n"
     "  before its server answered, or did not answer in time (launch). run, as\n"
     "  systemd names them: 1 not started for now (another run of the slot, its\n"
     "  port in use); 69 (UNAVAILABLE) it gave up after the game ended too\n"
     "  often; 78 (CONFIG) the configuration is refused by its checks or the\n"
     "  slot cannot be used, which no restart mends (the unit does not restart\n"
     "  it).\n"},
};

}  // namespace

std::string helpFooter() {
  std::string text;
  for (const HelpSection& section : kSections) text += "\n" + std::string(section.title) + ":\n" + section.body;
  return text;
}

namespace {

// Text for the manual page: its backslashes and hyphens as roff writes them,
// and no line that roff would take for a request.
std::string roff(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if ((c == '.' || c == '\'') && (i == 0 || text[i - 1] == '\n')) out += "\\&";
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  return out;
}

std::string_view withoutLineBreaksAround(std::string_view text) {
  while (!text.empty() && text.front() == '\n') text.remove_prefix(1);
  while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  return text;
}

}  // namespace

std::string manualPage(const CLI::App& app) {
  const auto options = [](const CLI::App& command) {
    std::string out;
    for (const CLI::Option* option : command.get_options()) {
      if (option->get_group().empty()) continue;  // hidden
      if (command.get_parent() && (option == command.get_help_ptr() || option == command.get_help_all_ptr())) continue;
      std::string name = option->get_name(true, true);
      if (!option->get_option_text().empty()) name += " " + option->get_option_text();
      out += ".TP\n.B " + roff(name) + "\n" + roff(option->get_description()) + "\n";
    }
    return out;
  };
  std::string out = ".TH TARVEX\\-CLI 1 \"December 2026\" \"Tarvex " TARVEX_VERSION "\" \"User Commands\"\n";
  out += ".SH NAME\ntarvex\\-cli \\- set up, start, keep up and talk to Star Trek: Voyager \\- Elite Force servers\n";
  out +=
      ".SH SYNOPSIS\n.B tarvex\\-cli\n.RB [ \\-\\-app\\-folder\n.IR DIR ]\n.RB [ \\-\\-system ]\n.I COMMAND\n"
      ".RI [ OPTIONS ]\n";
  out += ".SH DESCRIPTION\n" + roff(app.get_description()) + "\n";
  out += ".SH OPTIONS\n" + options(app);
  out += ".SH COMMANDS\n";
  for (const CLI::App* command : app.get_subcommands({})) {
    if (command->get_group().empty()) continue;  // hidden
    out += ".SS " + roff(command->get_name()) + "\n" + roff(command->get_description()) + "\n";
    if (!command->get_footer().empty()) out += ".PP\n" + roff(withoutLineBreaksAround(command->get_footer())) + "\n";
    out += options(*command);
    for (const CLI::App* action : command->get_subcommands({}))
      out += ".SS \"" + roff(command->get_name() + " " + action->get_name()) + "\"\n" +
             roff(action->get_description()) + "\n" + options(*action);
  }
  for (const HelpSection& section : kSections)
    out += ".SH \"" + std::string(section.manualTitle) + "\"\n" +
           (section.manualTitle == std::string_view("EXAMPLES") ? roff(section.title) + ":\n" : "") + ".nf\n" +
           roff(section.body) + ".fi\n";
  out += ".SH SEE ALSO\n.BR tarvex (1),\n.BR systemctl (1),\n.BR journalctl (1)\n";
  return out;
}

}  // namespace tarvex
