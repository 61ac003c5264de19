// Waiting out another program that holds one of our files for a moment.
#pragma once
#include <windows.h>

#include <cstddef>
#include <iterator>

namespace tarkeep::platform {

// An antivirus scanner, the search indexer, a thumbnail viewer or a child that ended a
// moment ago may still hold a fresh file, which makes replacing or deleting it fail with
// one of these; a short wait usually clears it.
inline bool held_by_another_program(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

// Waits between the attempts: growing, about 1.3 s in all, before the failure is reported.
inline constexpr DWORD kHeldFileRetryDelaysMs[] = {10, 20, 40, 80, 160, 320, 640};
inline constexpr std::size_t kHeldFileRetries = std::size(kHeldFileRetryDelaysMs);

}  // namespace tarkeep::platform
