// Error texts on POSIX: strerror_r, and errno codes in the standard generic category.
#include "platform/errors.h"

#include <cstring>

namespace tarkeep::platform {

std::string system_message(int code) {
    char buffer[256] = {};
    // The GNU variant may return a static text instead of filling the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}

const std::error_category& native_category() { return std::generic_category(); }

}  // namespace tarkeep::platform
