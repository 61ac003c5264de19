// Whether standard error is a console, on Windows.
#include "platform/terminal.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tarkeep::platform {

bool stderr_is_terminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace tarkeep::platform
