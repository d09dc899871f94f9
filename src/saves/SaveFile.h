#pragma once
// A save slot's file: every setting, the rotation and each map's limits,
// written as marker and value lines and read back by line position.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "config/Configuration.h"
#include "util/Problem.h"

namespace tarvex {

inline constexpr int kSlotCount = 9;
inline constexpr const char* kUnusedDescription = "Unused";
// A real slot with 50 maps is a few kilobytes; a larger file is refused
// rather than read (the same cap serves maps.ini).
inline constexpr std::size_t kMaxSaveFileBytes = 16 * 1024 * 1024;
// The largest save file Tarvex writes: far above any the window makes (a few
// kilobytes, the whole map list included), far below what a reader takes.
inline constexpr std::size_t kMaxWrittenSaveBytes = 1024 * 1024;

// Whether a save file keeps the setting (by its table name); the others
// start at their start values whenever a slot is loaded.
bool keptInSave(std::string_view fieldName);

std::string writeSave(std::string_view slotTitle, std::string_view description, const Configuration& config);

// Why the configuration cannot be saved (a value holding a line break, which
// would shift every line after it and leave a slot nobody can load); empty
// when it can.
Problem saveRefusal(std::string_view description, const Configuration& config);

// How saving a slot went: refused by its check (the message), or its file
// could not be written (why), or saved.
struct [[nodiscard]] SlotSave {
  Problem refusal;
  Problem writeProblem;
  bool ok() const { return refusal.ok() && writeProblem.ok(); }
};
// The one step that saves a configuration into a save file, for the window's
// Save and for tarvex-cli config: the check first, then the file replaced
// whole (its folder made when missing), readable by its owner alone (it
// holds the console password). The old content stays until the new file is
// complete: a crash or a full disk loses nothing.
SlotSave saveSlotFile(const std::filesystem::path& file, std::string_view title, std::string_view description,
                      const Configuration& config);

enum class RestoreOutcome { Restored, NeverUsed, Unreadable };

// Restores into config: all or nothing. The whole file is read and checked
// first; config changes only when the outcome is Restored.
RestoreOutcome restoreSave(std::string_view bytes, Configuration& config);

// The second line of the file (the description), or nullopt when unreadable.
std::optional<std::string> saveDescription(std::string_view bytes);

// Slot N's file under the program's folder: save/saveN.sav.
std::filesystem::path slotPath(const std::filesystem::path& appFolder, int slot);
std::string slotTitle(int slot);  // "Save File #N"

inline constexpr const char* kSavePrompt = "Please enter a custom description for this save file:";
inline constexpr const char* kSavePromptTitle = "Title of Save File";
inline constexpr const char* kSavePromptPreset = "My Save File";
inline constexpr const char* kSavedMessage = "File Saved!";
inline constexpr const char* kRestoredMessage = "Settings restored!";
inline constexpr const char* kNeverUsedMessage = "ERROR:  This save file has never been used";
std::string unreadableSlotMessage(int slot, std::string_view file);

// Reads a save file from disk and restores it into config (all or nothing).
// slot names it in the message (0: a file given by name). The message is
// empty when the outcome needs none of its own.
struct SaveRead {
  RestoreOutcome outcome = RestoreOutcome::Unreadable;
  std::string message;
};
SaveRead restoreSaveFile(const std::filesystem::path& file, int slot, Configuration& config);
std::string unreadableSaveFileMessage(std::string_view file);  // a file given by name, not a slot

}  // namespace tarvex
