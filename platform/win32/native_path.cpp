// Absolute, extended-length wide paths for the Win32 file calls of this library.
#include "platform/win32/native_path.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/long_paths.h"

namespace tarkeep::platform {

std::wstring native_path(const std::filesystem::path& path) {
    const std::wstring& given = path.native();
    if (given.empty()) return given;
    // The first call tells the size (terminator included); the path may have grown between
    // the calls if the current folder changed, so the second result is checked again.
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) return given;
    full.resize(length);
    return extended_length_form(full);
}

}  // namespace tarkeep::platform
