#pragma once
// What tarvex-cli's --help adds after the commands and options, and the
// manual page, which carries the same sections.

#include <CLI/CLI.hpp>
#include <string>

namespace tarvex {

std::string helpFooter();

// The manual page (roff), made from the same table as the help.
std::string manualPage(const CLI::App& app);

}  // namespace tarvex
