#include "platform/shell.h"

#include <cstdlib>
#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tarkeep::platform {

int run_shell(const std::string& command_line) {
    // _wsystem keeps non-ASCII arguments intact; cmd.exe needs the whole line quoted.
    int chars = MultiByteToWideChar(CP_UTF8, 0, command_line.data(), static_cast<int>(command_line.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, command_line.data(), static_cast<int>(command_line.size()), wide.data(), chars);
    return _wsystem((L"\"" + wide + L"\"").c_str());
}

}  // namespace tarkeep::platform
