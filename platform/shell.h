// Running whole programs for tests and tools: through the system shell or with captured output.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace tarkeep::platform {

// Runs a command line through the system shell and returns the program's exit code
// (128 + signal number when a POSIX child is killed). Used by tests and tools that
// drive whole programs; the product itself starts children through process.h.
int run_shell(const std::string& command_line);

// True where run_shell speaks a POSIX shell (sh scripts, `timeout`, `kill`).
bool has_posix_shell();

// Starts `program` with `arguments` (UTF-8, passed through unchanged), standard input
// empty and standard output and error written to the two files; waits for it and
// returns its exit code (128 + signal number when a POSIX child is killed), or -1 when
// it cannot be started.
int run_program_captured(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::filesystem::path& out_file, const std::filesystem::path& err_file);

}  // namespace tarkeep::platform
