// Child processes on Windows: CreateProcessW with explicit, inheritable standard handles
// and standard error redirected to a log.
#include "platform/process.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/files.h"
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

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& command_line,
                                                  const std::filesystem::path& log_path) {
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
    if (!started) return nullptr;
    CloseHandle(process.hThread);
    return std::unique_ptr<ChildProcess>(new ChildProcess(reinterpret_cast<std::intptr_t>(process.hProcess)));
}

ChildProcess::~ChildProcess() {
    if (!exit_code_) end();
    CloseHandle(reinterpret_cast<HANDLE>(native_));
}

std::optional<int> ChildProcess::wait_for(std::chrono::milliseconds timeout) {
    if (exit_code_) return exit_code_;
    const HANDLE process = reinterpret_cast<HANDLE>(native_);
    // INFINITE is the largest DWORD; a longer wait is cut just below it.
    const auto wait_ms = static_cast<DWORD>((std::min)(timeout.count(), static_cast<long long>(INFINITE - 1)));
    if (WaitForSingleObject(process, wait_ms) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 1;
    if (!GetExitCodeProcess(process, &code)) code = 1;
    exit_code_ = static_cast<int>(code);
    return exit_code_;
}

int ChildProcess::wait() {
    if (!exit_code_) {
        WaitForSingleObject(reinterpret_cast<HANDLE>(native_), INFINITE);
        return *wait_for(std::chrono::milliseconds(0));
    }
    return *exit_code_;
}

int ChildProcess::end() {
    if (exit_code_) return *exit_code_;
    // Windows has no polite request for a console program without a window of its own; the
    // exit code is what a POSIX shell reports for an interrupted program.
    TerminateProcess(reinterpret_cast<HANDLE>(native_), 130);
    return wait();
}

int run_process(const std::string& command_line, const std::filesystem::path& log_path) {
    const auto child = ChildProcess::start(command_line, log_path);
    return child ? child->wait() : -1;
}

bool program_file_present(const std::filesystem::path& program) {
    if (!program.has_parent_path() || path_status(program).kind == PathKind::file) return true;
    // CreateProcess tries the name with ".exe" added when it has no extension.
    return !program.has_extension() && path_status(std::filesystem::path(program) += L".exe").kind == PathKind::file;
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
