// backup: one archive of what the host made in the data folder.
#include <algorithm>
#include <ostream>

#include "cli/Command.h"
#include "platform/Files.h"
#include "saves/Backup.h"
#include "util/Text.h"

namespace tarvex {

namespace {

class Backup final : public Command {
 public:
  using Command::Command;
  void describe(CLI::App& table) override {
    CLI::App* backup = add(table, "backup",
                           "write one archive (zip) of the data folder: path.ini, the save slots, the added maps and "
                           "their pictures; no logs");
    backup->add_option("file", file_, "the archive (-: standard output; default: backups/ in the data folder)")
        ->option_text("[FILE]");
    backup
        ->add_option(
            "--keep", keep_,
            "archives kept in backups/ when no FILE is given, the oldest removed (" + std::to_string(keep_) + ")")
        ->option_text("N")
        ->check(CLI::Range(1, 10000));
    backup->footer(
        paragraph("The archive is readable by its owner alone, as the save slots in it hold the console password.  "
                  "Run as root with --system, tarvex-cli acts as the services' user: to keep the archive where only "
                  "root writes, send it to standard output (sudo tarvex-cli --system backup - > FILE).  restore puts "
                  "it back."));
  }
  bool writes() const override { return true; }
  int run(Session& session) override {
    const auto files = collectBackup(session.dataFolder);
    if (!files) {
      session.services.message("tarvex-cli: no backup was made: " + files.problem() + ".");
      return 1;
    }
    const std::string summary = std::to_string(files->size()) + " files of " + fromPath(session.dataFolder);
    if (file_ == "-") {
      const auto archive = backupArchive(*files, backupStamp(true));
      if (!archive) {
        session.services.message("tarvex-cli: no backup was made: " + archive.problem() + ".");
        return 1;
      }
      session.out.write(archive->data(), std::streamsize(archive->size()));
      session.out.flush();
      if (!session.out) {
        session.services.message("tarvex-cli: the backup could not be written to standard output.");
        return 1;
      }
      session.err << "Backed up " << summary << " to standard output.\n";
      return 0;
    }
    const bool inFolder = file_.empty();
    const std::filesystem::path file =
        inFolder ? session.dataFolder / "backups" / ("tarvex-backup-" + backupStamp() + ".zip") : toPath(file_);
    if (const Problem problem = writeBackupFile(file, *files); !problem.ok()) {
      session.services.message("tarvex-cli: no backup was made: " + fromPath(file) + " could not be written (" +
                               problem + ")." +
                               (session.system ? "  Send it to standard output instead: backup -." : ""));
      return 1;
    }
    session.out << "Backed up " << summary << " to " << fromPath(file) << ".\n";
    if (inFolder) removeOldest(file.parent_path(), session);
    return 0;
  }

 private:
  // The archives of backups/ beyond the newest --keep, removed: a nightly backup never fills the disk.
  void removeOldest(const std::filesystem::path& folder, Session& session) const {
    std::vector<std::filesystem::path> made;
    std::error_code ec;
    for (std::filesystem::directory_iterator entry(folder, ec), end; !ec && entry != end; entry.increment(ec)) {
      const std::string name = fromPath(entry->path().filename());
      if (name.starts_with("tarvex-backup-") && name.ends_with(".zip")) made.push_back(entry->path());
    }
    std::sort(made.begin(), made.end());  // the names sort by the time they were made
    for (std::size_t i = 0; i + std::size_t(keep_) < made.size(); ++i) {
      if (!std::filesystem::remove(made[i], ec))
        session.services.message("tarvex-cli: the old backup " + fromPath(made[i]) + " could not be removed (" +
                                 ec.message() + ").");
    }
  }

  std::string file_;
  int keep_ = 7;
};

}  // namespace

std::unique_ptr<Command> makeBackup(CommonOptions& common) { return std::make_unique<Backup>(common); }

}  // namespace tarvex
