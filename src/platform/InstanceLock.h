#pragma once
// The lock an instance (a slot or a save file) is held by while its server
// runs, and who holds it.

#include <filesystem>
#include <optional>
#include <string>

#include "util/Problem.h"

namespace tarvex::platform {

// The lock of one instance (a slot or a save file) while a run of it runs,
// or a launch starts it: a file that records the process that holds the
// instance, locked by the holder (flock; on Windows, a byte lock). A launch
// records its game, which outlives it: the instance counts as held while
// that process runs.
class InstanceLock {
 public:
  explicit InstanceLock(const std::filesystem::path& file);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  // Empty when the lock was taken; else why not ("process 1234 runs it").
  const std::string& refusal() const { return refusal_; }
  // Records the process that holds the instance from now on.
  void record(long pid);

 private:
  std::filesystem::path file_;
  std::string refusal_;
  long handle_ = -1;  // the open file (a descriptor, or a HANDLE's number)
};

// The process that an instance's lock file records ("PID START") while that
// process runs; nullopt when none does (no lock, an empty one, or one whose
// process ended). The lock is opened without following links and believed
// only when it is a regular file of the data folder's owner; a failure says
// why it cannot be read or believed.
Result<std::optional<long>> instanceHolder(const std::filesystem::path& lockFile,
                                           const std::filesystem::path& dataFolder);

}  // namespace tarvex::platform
