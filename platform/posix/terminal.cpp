// The terminal on POSIX: isatty; terminals take the program's UTF-8 bytes as they are.
#include "platform/terminal.h"

#include <unistd.h>

namespace tarkeep::platform {

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

unsigned use_utf8_console() { return 0; }

}  // namespace tarkeep::platform
