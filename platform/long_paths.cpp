// The extended-length path form, pure text work so that every system's tests check it.
#include "platform/long_paths.h"

namespace tarkeep::platform {
namespace {

bool is_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// True when a component is "." or "..", which an extended-length path would keep literally.
bool has_dot_component(std::wstring_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring_view::npos) end = path.size();
        const std::wstring_view part = path.substr(start, end - start);
        if (part == L"." || part == L"..") return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

std::wstring extended_length_form(std::wstring_view path) {
    const std::wstring unchanged(path);
    if (path.find(L'/') != std::wstring_view::npos) return unchanged;
    const bool drive = path.size() >= 3 && is_letter(path[0]) && path[1] == L':' && path[2] == L'\\';
    const bool unc =
        path.size() >= 3 && path.starts_with(L"\\\\") && path[2] != L'?' && path[2] != L'.' && path[2] != L'\\';
    if (!drive && !unc) return unchanged;
    // Past the prefix (the drive or the two leading backslashes) only plain names may follow.
    if (has_dot_component(path.substr(drive ? 3 : 2))) return unchanged;
    return drive ? L"\\\\?\\" + unchanged : L"\\\\?\\UNC\\" + unchanged.substr(2);
}

}  // namespace tarkeep::platform
