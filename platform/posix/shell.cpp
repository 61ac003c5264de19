#include "platform/shell.h"

#include <cstdlib>
#include <sys/wait.h>

namespace tarkeep::platform {

int run_shell(const std::string& command_line) {
    int status = std::system(command_line.c_str());
    if (status == -1) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace tarkeep::platform
