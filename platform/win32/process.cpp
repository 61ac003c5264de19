// Child processes on Windows: CreateProcessW with standard error redirected to a log.
#include "platform/process.h"

#include <windows.h>

#include <string>

namespace tarkeep::platform {
namespace {

std::wstring to_wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

// The log that receives the child's standard error; INVALID_HANDLE_VALUE when none.
HANDLE open_log(const std::filesystem::path& log_path) {
    if (log_path.empty()) return INVALID_HANDLE_VALUE;
    SECURITY_ATTRIBUTES inherit{};
    inherit.nLength = sizeof(inherit);
    inherit.bInheritHandle = TRUE;
    return CreateFileW(log_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

}  // namespace

int run_process(const std::string& command_line, const std::filesystem::path& log_path) {
    std::wstring line = to_wide(command_line);  // CreateProcessW may write into it
    line.push_back(L'\0');

    HANDLE log = open_log(log_path);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (log != INVALID_HANDLE_VALUE) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = log;
    }

    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        if (log != INVALID_HANDLE_VALUE) CloseHandle(log);
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    if (!GetExitCodeProcess(process.hProcess, &code)) code = 1;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (log != INVALID_HANDLE_VALUE) CloseHandle(log);
    return static_cast<int>(code);
}

std::filesystem::path executable_path() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return std::filesystem::path(buffer);
        }
        buffer.resize(buffer.size() * 2);  // truncated: try a larger buffer
    }
}

std::filesystem::path venv_python(const std::filesystem::path& venv_folder) {
    return venv_folder / L"Scripts" / L"python.exe";
}

}  // namespace tarkeep::platform
