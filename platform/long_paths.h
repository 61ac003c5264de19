// The extended-length ("\\?\") form of Windows paths, which lifts the 260-character limit.
#pragma once
#include <string>
#include <string_view>

namespace tarkeep::platform {

// The extended-length form of an absolute, normalised Windows path: "C:\a" becomes
// "\\?\C:\a" and "\\server\share\a" becomes "\\?\UNC\server\share\a". The system takes
// such a path literally, so anything it would still have to interpret (a relative or
// drive-relative path, forward slashes, "." or ".." components) is returned unchanged,
// as is a path already in a device or extended form.
std::wstring extended_length_form(std::wstring_view path);

}  // namespace tarkeep::platform
