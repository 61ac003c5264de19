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

// After failed attempt number `attempt` (counted from 0): when the failure `may_clear` and
// waits remain, waits (growing, about 1.3 s in all) and returns true for another attempt;
// else returns false and the failure stands.
inline bool wait_to_retry(std::size_t attempt, bool may_clear) {
    constexpr DWORD kDelaysMs[] = {10, 20, 40, 80, 160, 320, 640};
    if (!may_clear || attempt >= std::size(kDelaysMs)) return false;
    Sleep(kDelaysMs[attempt]);
    return true;
}

}  // namespace tarkeep::platform
