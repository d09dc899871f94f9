// config: a slot's configuration printed as text, or written from such a text
// (a file, standard input, --set lines or the editor) once it reads back clean
// and the launch checks take it.
#include <cstdlib>
#include <functional>
#include <istream>
#include <ostream>

#include "cli/Command.h"
#include "launch/Launch.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Processes.h"
#include "saves/ConfigText.h"
#include "saves/SaveFile.h"
#include "server/Instance.h"
#include "util/Text.h"

namespace tarvex {
namespace {

// The text of a configuration in $VISUAL or $EDITOR: the text as saved, or
// nullopt when the editor failed (said why). As sudoedit does it: the editor
// runs as the user who started tarvex-cli, with that user's environment, on
// a copy in that user's temporary folder; only the slot's reading and
// writing happen as the data folder's owner.
std::optional<std::string> editedText(const std::string& text, Services& services) {
  const platform::AsInvokingUser invoking;
  const char* visual = std::getenv("VISUAL");
  const char* editor = visual && *visual ? visual : std::getenv("EDITOR");
  const std::string command = editor && *editor ? editor : platform::kDefaultEditor;
  // Owner-only and made anew: the text holds the console password.
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  if (ec) {
    services.message("Tarvex could not find a temporary folder for the text to edit (" + ec.message() +
                     "; TMPDIR names it): nothing was written.");
    return std::nullopt;
  }
  const std::filesystem::path file = folder / ("tarvex-config-" + newIdentityToken() + ".txt");
  if (const Problem error = writeFileAtomic(file, text, FileAccess::OwnerOnly, FileWrite::CreateOnly); !error.ok()) {
    services.message("Tarvex could not write the text to edit, " + fromPath(file) + " (" + error + ").");
    return std::nullopt;
  }
  const Result<std::string> ended = platform::runEditor(command, file);
  const FileBytes edited = readFileBytesNoLinks(file, kMaxConfigTextBytes);
  std::filesystem::remove(file, ec);
  if (!ended || !ended->empty()) {
    services.message("The editor (" + shortVisible(command) + ") " +
                     (ended ? "ended with " + *ended : std::string(ended.problem())) + ": nothing was written.");
    return std::nullopt;
  }
  if (edited.status != ReadStatus::Ok) {
    services.message("The edited text " + fromPath(file) + " could not be read back" +
                     (edited.status == ReadStatus::TooLarge ? " (it is larger than 1 MB)" : "") +
                     ": nothing was written.");
    return std::nullopt;
  }
  return edited.bytes;
}

// Where a finding of a text is, by its line (0: the text as a whole): "", "FILE, line 3: ", "--set ...: ".
using Place = std::function<std::string(std::size_t)>;

class Config final : public SlotCommand {
 public:
  using SlotCommand::SlotCommand;
  void describe(CLI::App& table) override;
  std::optional<int> takeCommandLine(std::ostream& err, Services&) override {
    if (int(keys_) + int(from_.has_value()) + int(!sets_.empty()) + int(edit_) > 1)
      return usageError(err, "give one of --keys, --from, --set and --edit");
    if (!keys_ && !fromSlot()) return usageError(err, "config needs --slot N or --save FILE");
    return std::nullopt;
  }
  bool writes() const override { return from_ || !sets_.empty() || edit_; }
  bool keepsWayBack() const override { return edit_; }  // the editor runs as the user who started tarvex-cli
  int run(Session& session) override;

 private:
  // The slot as it is: false when it cannot be read (said why).
  bool readSlot(Session& session);
  // Applies a text; on a finding says where, writes nothing and returns false.
  bool write(Session& session, const std::string& text, const Place& place);
  int fromFile(Session& session);
  int fromSets(Session& session);
  int edit(Session& session);
  std::string slotName(const Session& session) const {
    return slot_ != 0 ? "slot " + std::to_string(slot_) : fromPath(slotFile(session.dataFolder));
  }
  std::vector<std::string> heading(const Session& session) const {
    return {"Tarvex configuration of " + visibleText(slotName(session)) +
                (unused_ ? ", unused: the settings a new slot starts with" : ""),
            "Keys and their values: tarvex-cli config --keys"};
  }
  int nothingWritten(Session& session) const {
    session.services.message("Nothing was written.");
    return 1;
  }

  bool keys_ = false;
  std::optional<std::string> from_;
  std::vector<std::string> sets_;
  bool edit_ = false;

  Configuration config_;
  std::string description_;
  bool unused_ = false;
};

void Config::describe(CLI::App& table) {
  CLI::App* config = addWithSlot(table, "config", "print a configuration as text, or write it from such a text");
  config->footer(paragraph(
      "The text has one \"key = value\" line a setting, in the window's order, # comments naming its tabs, and "
      "one \"map = NAME FRAG TIME CAPTURE\" line a map of the rotation, in order (without limits a map keeps its "
      "own).  Keys not given keep their values.  A value with blanks at its ends is written in double quotes.  "
      "Nothing is written unless every line reads back clean and the launch checks take the configuration."));
  config->add_flag("--keys", keys_, "list every key with its tab, caption, values and start value");
  config->add_option("--from", from_, "write the configuration from FILE (-: standard input)")->option_text("FILE");
  config->add_option("--set", sets_, "change single settings")->option_text("KEY=VALUE ...");
  config->add_flag("--edit", edit_, "edit the text with $VISUAL or $EDITOR and write it back once it reads back clean");
}

int Config::run(Session& session) {
  config_.catalogue = loadMapListOf(session).catalogue;
  if (keys_) {
    session.out << configKeys();
    return 0;
  }
  if (!readSlot(session)) return 1;
  if (from_) return fromFile(session);
  if (!sets_.empty()) return fromSets(session);
  if (edit_) return edit(session);
  session.out << configText(config_, description_, heading(session));
  return 0;
}

bool Config::readSlot(Session& session) {
  const std::filesystem::path file = slotFile(session.dataFolder);
  std::error_code ec;
  const auto found = std::filesystem::symlink_status(file, ec);
  if (ec && found.type() != std::filesystem::file_type::not_found) {
    // What cannot be looked at is never an unused slot.
    session.services.message("The configuration " + fromPath(file) + " cannot be read (" + ec.message() + ").  " +
                             platform::accessHint(file.parent_path()));
    return false;
  }
  unused_ = !std::filesystem::exists(found);
  if (unused_) return true;
  const SaveRead read = restoreSaveFile(file, slot_, config_);
  if (read.outcome == RestoreOutcome::Unreadable) {
    session.services.message(read.message);
    return false;
  }
  unused_ = read.outcome == RestoreOutcome::NeverUsed;
  if (!unused_) description_ = saveDescription(readFileHead(file, 64 * 1024).bytes).value_or(std::string());
  return true;
}

bool Config::write(Session& session, const std::string& text, const Place& place) {
  Services& services = session.services;
  const ConfigApplied applied =
      applyConfigText(text, config_, unused_ ? std::string_view("Made with tarvex-cli config") : description_);
  for (const auto& problem : applied.problems) services.message(place(problem.line) + problem.text);
  if (!applied.problems.empty()) return false;
  const Configuration& next = applied.configuration;
  const std::string& nextDescription = applied.description;
  const LaunchCheck check = checkLaunch(next.settings, next.rotation.maps, next.catalogue);
  for (const auto& message : check.messages) services.message(place(lineOfMessage(applied, message)) + message);
  if (!check.proceed) return false;
  const std::filesystem::path file = slotFile(session.dataFolder);
  const SlotSave saved = saveSlotFile(file, slot_ != 0 ? slotTitle(slot_) : "Save File", nextDescription, next);
  if (!saved.refusal.ok()) services.message(saved.refusal);
  if (!saved.writeProblem.ok())
    services.message("Tarvex could not write " + fromPath(file) + " (" + saved.writeProblem + ").");
  if (!saved.ok()) return false;
  services.message("The configuration of " + visibleText(slotName(session)) + " was written (" + fromPath(file) +
                   ").  A running server takes it when it is started again.");
  return true;
}

int Config::fromFile(Session& session) {
  std::string text;
  const bool standardInput = *from_ == "-";
  if (standardInput) {
    // Read up to one byte past the bound: more is refused, never gathered.
    text.resize(kMaxConfigTextBytes + 1);
    session.in.read(text.data(), std::streamsize(text.size()));
    text.resize(std::size_t(session.in.gcount()));
    if (text.size() > kMaxConfigTextBytes) {
      session.services.message(
          "The configuration text on standard input is larger than 1 MB, and a configuration is a "
          "few kilobytes.  Nothing was written.");
      return 1;
    }
  } else {
    const FileBytes read = readFileBytes(toPath(*from_), kMaxConfigTextBytes);
    if (read.status != ReadStatus::Ok) {
      session.services.message("The configuration text " + shortVisible(*from_, 200) +
                               (read.status == ReadStatus::TooLarge
                                    ? " is larger than 1 MB, and a configuration is a few kilobytes"
                                : read.status == ReadStatus::Missing ? " does not exist"
                                                                     : " cannot be read") +
                               ".  Nothing was written.");
      return 1;
    }
    text = read.bytes;
  }
  const std::string source = standardInput ? "standard input" : *from_;
  const auto place = [&](std::size_t line) {
    return line == 0 ? source + ": " : source + ", line " + std::to_string(line) + ": ";
  };
  return write(session, text, place) ? 0 : nothingWritten(session);
}

int Config::fromSets(Session& session) {
  std::string text;
  for (const auto& set : sets_) {
    if (holdsLineBreak(set)) {
      session.services.message("--set " + shortVisible(set) +
                               ": a value cannot hold a line break.  Nothing was written.");
      return 1;
    }
    text += set + "\n";
  }
  const auto place = [&](std::size_t line) {
    return line == 0 ? std::string() : "--set " + shortVisible(sets_[line - 1]) + ": ";
  };
  return write(session, text, place) ? 0 : nothingWritten(session);
}

int Config::edit(Session& session) {
  std::string text = configText(config_, description_, heading(session));
  const std::string original = text;
  const auto place = [](std::size_t line) { return line == 0 ? std::string() : "line " + std::to_string(line) + ": "; };
  for (;;) {
    const auto edited = editedText(text, session.services);
    if (!edited) return 1;
    if (*edited == original) {
      session.services.message("No change: nothing was written.");
      return 0;
    }
    if (write(session, *edited, place)) return 0;
    text = *edited;  // offered again as it was left
    session.out << "Edit the text again? [Y/n] " << std::flush;
    std::string answer;
    if (!std::getline(session.in, answer) || (!answer.empty() && (answer[0] == 'n' || answer[0] == 'N')))
      return nothingWritten(session);
  }
}

}  // namespace

std::unique_ptr<Command> makeConfig(CommonOptions& common) { return std::make_unique<Config>(common); }

}  // namespace tarvex
