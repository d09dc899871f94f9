// restore: puts a backup's files back into the data folder, once the whole archive passed its checks.
#include <istream>
#include <ostream>

#include "cli/Command.h"
#include "platform/Files.h"
#include "saves/Backup.h"
#include "util/Text.h"

namespace tarvex {

namespace {

class Restore final : public Command {
 public:
  using Command::Command;
  void describe(CLI::App& table) override {
    CLI::App* restore = add(table, "restore", "put a backup's files back into the data folder");
    restore->add_option("file", file_, "the archive that backup wrote (-: standard input)")
        ->option_text("FILE")
        ->required();
    restore->add_flag("--force", force_, "restore while a server of the data folder runs");
    restore->footer(paragraph(
        "The whole archive is checked first: a backup of Tarvex's, of the data folder's own files only (no path "
        "that leaves it), within " +
        std::to_string(BackupLimits{}.fileBytes / (1024 * 1024)) + " MB a file and " +
        std::to_string(BackupLimits{}.totalBytes / (1024 * 1024)) +
        " MB in all; nothing is changed when it fails.  What the data folder held is kept first as "
        "backups/before-restore-DATE.zip.  path.ini, maps.ini, save/ and Map_Images/ are then replaced as a "
        "whole; logs and backups stay."));
  }
  bool writes() const override { return true; }
  int run(Session& session) override {
    const std::string shown = file_ == "-" ? "standard input" : file_;
    const BackupLimits limits;
    const auto refuse = [&](const std::string& why) {
      session.services.message("tarvex-cli: " + visibleUtf8(shown) + " was not restored: " + why +
                               ".  Nothing was changed.");
      return 1;
    };
    std::string bytes;
    // The archive may be a little larger than what it holds (its directory).
    const std::size_t most = limits.totalBytes + limits.totalBytes / 8;
    if (file_ == "-") {
      char buffer[65536];
      while (session.in.read(buffer, sizeof buffer) || session.in.gcount() > 0) {
        bytes.append(buffer, std::size_t(session.in.gcount()));
        if (bytes.size() > most) return refuse("it is larger than any backup");
      }
    } else {
      FileBytes read = readFileBytes(toPath(file_), most);
      if (read.status == ReadStatus::TooLarge) return refuse("it is larger than any backup");
      if (read.status != ReadStatus::Ok) return refuse("it cannot be read");
      bytes = std::move(read.bytes);
    }
    const auto files = readBackupArchive(std::move(bytes), limits);
    if (!files) return refuse(files.problem());
    if (const std::string running = runningServers(session); !running.empty() && !force_)
      return refuse(running + ".  Stop it first (tarvex-cli stop), or pass --force");
    // What it replaces is kept first.
    const auto before = collectBackup(session.dataFolder, limits);
    if (!before) return refuse("what the data folder holds cannot be kept first: " + before.problem());
    std::string kept;
    if (!before->empty()) {
      const std::filesystem::path file = session.dataFolder / "backups" / ("before-restore-" + backupStamp() + ".zip");
      if (const Problem problem = writeBackupFile(file, *before); !problem.ok())
        return refuse("what the data folder holds cannot be kept first: " + fromPath(file) + " (" + problem + ")");
      kept = "  What it held before is in " + fromPath(file) + ".";
    }
    if (const Problem problem = restoreBackup(session.dataFolder, *files); !problem.ok()) {
      session.services.message("tarvex-cli: the restore of " + visibleUtf8(shown) + " failed: " + problem + "." + kept);
      return 1;
    }
    session.out << "Restored " << files->size() << " files into " << fromPath(session.dataFolder) << "." << kept
                << "\n";
    return 0;
  }

 private:
  // The servers of the data folder that run, said; empty when none does.
  static std::string runningServers(Session& session) {
    const auto instances = instancesOf(session.dataFolder);
    if (!instances) return "whether a server of the data folder runs cannot be told: " + instances.problem();
    for (const auto& instance : *instances) {
      const auto running = runningInstance(session.dataFolder, instance);
      if (!running) return "whether " + visibleUtf8(instance) + " runs cannot be told: its " + running.problem();
      if (*running)
        return visibleUtf8(instance) + " runs (process " + std::to_string((*running)->pid) + ") from this data folder";
    }
    return {};
  }

  std::string file_;
  bool force_ = false;
};

}  // namespace

std::unique_ptr<Command> makeRestore(CommonOptions& common) { return std::make_unique<Restore>(common); }

}  // namespace tarvex
