// Child processes on Windows: CreateProcessW with explicit, inheritable standard handles
// and standard error redirected to a log.
#include "platform/process.h"

#include <windows.h>

#include <string>

#include "platform/win32/native_path.h"

namespace tarkeep::platform {
namespace {

std::wstring to_wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

SECURITY_ATTRIBUTES inheritable() { return SECURITY_ATTRIBUTES{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE}; }

// The log that receives the child's standard error; INVALID_HANDLE_VALUE when none.
HANDLE open_log(const std::filesystem::path& log_path) {
    if (log_path.empty()) return INVALID_HANDLE_VALUE;
    SECURITY_ATTRIBUTES inherit = inheritable();
    // Shared for writing and deleting too: a child started without a console window can
    // leave its copy open a moment after it ends (seen under Wine), and the next run replaces
    // the log or removes the work folder it lies in.
    return CreateFileW(native_path(log_path).c_str(), GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// An inheritable copy of one of our standard handles, or the null device when we have
// none: started from a GUI or a service our handles may be missing or not inheritable,
// and a child handed those as they are would write into invalid handles.
HANDLE child_standard_handle(DWORD which) {
    const HANDLE own = GetStdHandle(which);
    HANDLE copy = nullptr;
    if (own != nullptr && own != INVALID_HANDLE_VALUE &&
        DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
        return copy;
    SECURITY_ATTRIBUTES inherit = inheritable();
    const DWORD access = which == STD_INPUT_HANDLE ? GENERIC_READ : GENERIC_WRITE;
    return CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
}

void close_valid(HANDLE handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

}  // namespace

int run_process(const std::string& command_line, const std::filesystem::path& log_path) {
    std::wstring line = to_wide(command_line);  // CreateProcessW may write into it
    line.push_back(L'\0');

    HANDLE log = open_log(log_path);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = child_standard_handle(STD_INPUT_HANDLE);
    startup.hStdOutput = child_standard_handle(STD_OUTPUT_HANDLE);
    startup.hStdError = log != INVALID_HANDLE_VALUE ? log : child_standard_handle(STD_ERROR_HANDLE);
    // Without a console of our own a console child would open a window of its own.
    const DWORD flags = GetConsoleWindow() == nullptr ? CREATE_NO_WINDOW : 0;

    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup, &process);
    // The child has its own copies now; ours go whether it started or not.
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) close_valid(handle);
    if (!started) return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    if (!GetExitCodeProcess(process.hProcess, &code)) code = 1;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
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
