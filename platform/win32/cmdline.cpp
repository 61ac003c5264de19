// Arguments and paths on Windows: the wide command line and UTF-16 paths converted to UTF-8.
#include "platform/cmdline.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/process.h"

namespace tarkeep::platform {
namespace {

std::string wide_to_utf8(const wchar_t* text, int length) {
    if (length == 0) return {};
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring utf8_to_wide(std::string_view text) {
    if (text.empty()) return {};
    int chars = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (chars <= 0) return {};
    std::wstring out(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), chars);
    return out;
}

}  // namespace

std::vector<std::string> utf8_arguments(int argc, char** argv) {
    // The narrow argv is in the ANSI code page and loses characters outside it, so the
    // wide command line is the source of truth; argv is only the fallback. It is split by
    // CommandLineToArgvW's rules without calling it: shell32 loads user32, and a console
    // process with user32 loaded is not told of logoff and shutdown.
    const wchar_t* line = GetCommandLineW();
    if (line == nullptr || *line == L'\0') return std::vector<std::string>(argv, argv + argc);
    return split_command_line(wide_to_utf8(line, static_cast<int>(wcslen(line))));
}

std::filesystem::path path_from_utf8(std::string_view utf8) { return std::filesystem::path(utf8_to_wide(utf8)); }

std::string path_to_utf8(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    return wide_to_utf8(wide.c_str(), static_cast<int>(wide.size()));
}

}  // namespace tarkeep::platform
