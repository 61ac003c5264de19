// The operating system's own wording for its error codes, for messages that people read.
#pragma once
#include <string>
#include <system_error>

namespace tarkeep::platform {

// The system's text for an error code (FormatMessageW on Windows, strerror elsewhere),
// UTF-8, without the trailing line break or full stop; empty when the system has none.
std::string system_message(int code);

// The category of the codes that platform calls report (GetLastError and Winsock codes
// on Windows, errno elsewhere). Its messages are system_message's, and its codes
// compare with std::errc as the standard system category's do.
const std::error_category& native_category();

}  // namespace tarkeep::platform
