// The shell on Windows: cmd.exe through _wsystem, and a program run with its output captured to files.
#include "platform/shell.h"

#include <cstdlib>
#include <string>

#include "platform/process.h"
#include "platform/win32/native_path.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tarkeep::platform {
namespace {

std::wstring widen(const std::string& text) {
    if (text.empty()) return {};
    int chars = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), chars);
    return wide;
}

HANDLE open_inheritable(const std::filesystem::path& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(native_path(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int run_shell(const std::string& command_line) {
    // cmd.exe needs the whole line quoted once more.
    return _wsystem((L"\"" + widen(command_line) + L"\"").c_str());
}

bool has_posix_shell() { return false; }

int run_program_captured(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::filesystem::path& out_file, const std::filesystem::path& err_file) {
    std::wstring command_line = L"\"" + program.wstring() + L"\"";
    for (const std::string& argument : arguments) command_line += L" " + widen(quote_argument(argument));

    HANDLE input = open_inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE output = open_inheritable(out_file, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE error = open_inheritable(err_file, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    int code = -1;
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD exit_code = 1;
        code = GetExitCodeProcess(process.hProcess, &exit_code) ? static_cast<int>(exit_code) : 1;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    for (HANDLE handle : {input, output, error})
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    return code;
}

}  // namespace tarkeep::platform
