// Synced writes and atomic renames on Windows: FlushFileBuffers and MoveFileExW.
#include "platform/files.h"

#include <windows.h>

#include <system_error>

namespace tarkeep::platform {

WriteStatus write_file_synced(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return WriteStatus::cannot_open;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const std::size_t remaining = bytes.size() - done;
        const DWORD chunk = remaining > 0x40000000u ? 0x40000000u : static_cast<DWORD>(remaining);
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) ok = false;
        done += written;
    }
    if (ok && !FlushFileBuffers(file)) ok = false;
    if (!CloseHandle(file)) ok = false;
    return ok ? WriteStatus::ok : WriteStatus::write_failed;
}

void replace_file(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        throw std::filesystem::filesystem_error(
            "rename", from, to, std::error_code(static_cast<int>(GetLastError()), std::system_category()));
    }
}

}  // namespace tarkeep::platform
