#pragma once
// Reading the Windows registry as Wine keeps it: a prefix's system.reg file,
// and the mapping of a Windows path to the Unix path inside the prefix.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

// The value of valueName under keyPath (relative to HKEY_LOCAL_MACHINE, any
// case) in the contents of a system.reg file: the text of a string value, the
// decimal number of a dword value; nullopt for a missing key or value or any
// other type. Escapes in key paths and strings are decoded; text comes back
// as UTF-8.
std::optional<std::string> findWineRegistryValue(std::string_view systemReg, std::string_view keyPath,
                                                 std::string_view valueName);

// Maps "C:\Games\EF\stvoyHM.exe" to the file inside the prefix, through its
// dosdevices links (drive_c when those are missing), with path components
// matched without regard to case where the exact name does not exist.
std::string mapWindowsPathToPrefix(const std::filesystem::path& prefix, std::string_view windowsPath);

}  // namespace tarvex
