// The console on Windows: GetConsoleMode for "is a console", and the UTF-8 output code page.
#include "platform/terminal.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>

namespace tarkeep::platform {
namespace {

bool is_console(DWORD which) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

UINT saved_code_page = 0;

extern "C" void restore_code_page() {
    if (saved_code_page != 0) SetConsoleOutputCP(saved_code_page);
}

}  // namespace

bool stderr_is_terminal() { return is_console(STD_ERROR_HANDLE); }

unsigned use_utf8_console() {
    if (saved_code_page != 0 || !(is_console(STD_OUTPUT_HANDLE) || is_console(STD_ERROR_HANDLE))) return 0;
    const UINT previous = GetConsoleOutputCP();
    if (previous == 0 || previous == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return 0;
    saved_code_page = previous;
    std::atexit(restore_code_page);
    return previous;
}

}  // namespace tarkeep::platform
