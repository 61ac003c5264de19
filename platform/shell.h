#pragma once
#include <string>

namespace tarkeep::platform {

// Runs a command line through the system shell and returns the program's exit code
// (128 + signal number when a POSIX child is killed). Used by tests and tools that
// drive whole programs; the product itself starts children through process.h.
int run_shell(const std::string& command_line);

}  // namespace tarkeep::platform
