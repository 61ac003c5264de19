// Child processes on POSIX: posix_spawn of a split command line with standard error to a log.
#include "platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

extern char** environ;

namespace tarkeep::platform {
namespace {

// Opens the log that receives the child's standard error; -1 when it cannot be made.
int open_log(const std::filesystem::path& log_path) {
    if (log_path.empty()) return -1;
    return ::open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

int wait_for(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return 1;  // the code cannot be read
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

}  // namespace

int run_process(const std::string& command_line, const std::filesystem::path& log_path) {
    // No shell: the same splitting rules as the Windows child would apply to its line.
    std::vector<std::string> args = split_command_line(command_line);
    if (args.empty() || args.front().empty()) return -1;
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
    if (error != 0) return -1;
    return wait_for(pid);
}

std::filesystem::path executable_path() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self;
}

std::filesystem::path venv_python(const std::filesystem::path& venv_folder) { return venv_folder / "bin" / "python"; }

}  // namespace tarkeep::platform
