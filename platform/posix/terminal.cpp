// Whether standard error is a terminal, on POSIX.
#include "platform/terminal.h"

#include <unistd.h>

namespace tarkeep::platform {

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace tarkeep::platform
