// Starting child processes from Windows-style command lines, and finding our own program.
#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarkeep::platform {

// Starts a command line (UTF-8) as a child process and waits for it without a time
// limit. The child shares this program's standard input, output, environment and
// current folder; when `log_path` is not empty its standard error goes to that file,
// which is created or replaced (if it cannot be created the child keeps ours).
// Returns the child's exit code, or -1 when it cannot be started.
int run_process(const std::string& command_line, const std::filesystem::path& log_path);

// A child process started from a command line, as run_process starts it, that the caller
// watches while it runs and can end early.
class ChildProcess {
public:
    // Starts the child; nullptr when it cannot be started.
    static std::unique_ptr<ChildProcess> start(const std::string& command_line, const std::filesystem::path& log_path);
    // A child still running is ended first: none outlives the caller's interest in it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The exit code once the child has ended, waiting at most `timeout` for it; nothing while
    // it still runs. A child ended by a signal gives 128 + the signal's number.
    std::optional<int> wait_for(std::chrono::milliseconds timeout);
    // Waits as long as it takes.
    int wait();
    // Ends the child now (on POSIX asked with SIGTERM, killed 2 s later) and waits for it.
    int end();

private:
    explicit ChildProcess(std::intptr_t native) : native_(native) {}
    std::intptr_t native_;  // the process id, or the Windows process handle
    std::optional<int> exit_code_;
};

// Splits a command line into arguments exactly as Windows' CommandLineToArgvW does:
// the first argument (the program) ends at the next blank, or at the closing quote when
// it starts with one; later arguments follow the backslash and quote rules (2n
// backslashes before a quote give n and toggle quoting, 2n+1 give n and a literal quote,
// a doubled quote inside quotes gives one literal quote and ends the quoted part).
// POSIX uses it to start children from the same command lines as Windows.
std::vector<std::string> split_command_line(std::string_view command_line);

// Quotes one argument (not the first) so that split_command_line and
// CommandLineToArgvW read it back unchanged: always in double quotes, backslashes
// doubled where they precede a quote or the closing quote, inner quotes escaped.
std::string quote_argument(std::string_view argument);

// False when `program` is a path with a folder in it and names no file (on Windows, nor
// with ".exe" added, as starting it would try). A bare name is looked for on the search
// path only when it starts, so it counts as found here.
bool program_file_present(const std::filesystem::path& program);

// The running program's own file, absolute; empty when the system cannot tell.
std::filesystem::path executable_path();

// The interpreter of a Python virtual environment folder: Scripts\python.exe on
// Windows, bin/python elsewhere.
std::filesystem::path venv_python(const std::filesystem::path& venv_folder);

}  // namespace tarkeep::platform
