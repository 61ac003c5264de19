// The wide path that Win32 file calls get: made absolute and in extended-length form.
#pragma once
#include <filesystem>
#include <string>

namespace tarkeep::platform {

// `path` made absolute and normalised by the system (GetFullPathNameW), then in its
// extended-length form, so that file calls work past 260 characters on every Windows 10
// without the long-path registry switch. Falls back to the path as given.
std::wstring native_path(const std::filesystem::path& path);

}  // namespace tarkeep::platform
