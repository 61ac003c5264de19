// Child processes on POSIX: posix_spawn of a split command line with standard error to a log.
#include "platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <system_error>
#include <thread>

#include "platform/files.h"

extern char** environ;

namespace tarkeep::platform {
namespace {

// Opens the log that receives the child's standard error; -1 when it cannot be made.
int open_log(const std::filesystem::path& log_path) {
    if (log_path.empty()) return -1;
    return ::open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

int exit_code_of(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

// The exit code when the child has ended, nothing while it runs (`block`: wait for it).
std::optional<int> reap(pid_t pid, bool block) {
    int status = 0;
    for (;;) {
        const pid_t reaped = ::waitpid(pid, &status, block ? 0 : WNOHANG);
        if (reaped == pid) return exit_code_of(status);
        if (reaped == 0) return std::nullopt;
        if (errno != EINTR) return 1;  // the code cannot be read
    }
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& command_line,
                                                  const std::filesystem::path& log_path) {
    // No shell: the same splitting rules as the Windows child would apply to its line.
    std::vector<std::string> args = split_command_line(command_line);
    if (args.empty() || args.front().empty()) return nullptr;
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    const int log_fd = open_log(log_path);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (log_fd >= 0) posix_spawn_file_actions_adddup2(&actions, log_fd, STDERR_FILENO);

    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (log_fd >= 0) ::close(log_fd);
    if (error != 0) return nullptr;
    return std::unique_ptr<ChildProcess>(new ChildProcess(pid));
}

ChildProcess::~ChildProcess() {
    if (!exit_code_) end();
}

std::optional<int> ChildProcess::wait_for(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const auto pid = static_cast<pid_t>(native_);
    while (!exit_code_) {
        exit_code_ = reap(pid, false);
        if (exit_code_ || std::chrono::steady_clock::now() >= deadline) break;
        // POSIX has no wait with a time limit for one child; a short sleep keeps this cheap.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return exit_code_;
}

int ChildProcess::wait() {
    if (!exit_code_) exit_code_ = reap(static_cast<pid_t>(native_), true);
    return *exit_code_;
}

int ChildProcess::end() {
    if (exit_code_) return *exit_code_;
    ::kill(static_cast<pid_t>(native_), SIGTERM);
    if (wait_for(std::chrono::seconds(2))) return *exit_code_;
    ::kill(static_cast<pid_t>(native_), SIGKILL);
    return wait();
}

int run_process(const std::string& command_line, const std::filesystem::path& log_path) {
    const auto child = ChildProcess::start(command_line, log_path);
    return child ? child->wait() : -1;
}

bool program_file_present(const std::filesystem::path& program) {
    return !program.has_parent_path() || path_status(program).kind == PathKind::file;
}

std::filesystem::path executable_path() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self;
}

std::filesystem::path venv_python(const std::filesystem::path& venv_folder) { return venv_folder / "bin" / "python"; }

}  // namespace tarkeep::platform
