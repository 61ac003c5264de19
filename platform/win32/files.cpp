// Synced writes and atomic renames on Windows: FlushFileBuffers and MoveFileExW, on
// extended-length paths, with the rename retried while another program holds the file.
#include "platform/files.h"

#include <windows.h>

#include "platform/errors.h"
#include "platform/win32/held_files.h"
#include "platform/win32/native_path.h"

namespace tarkeep::platform {

WriteStatus write_file_synced(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    HANDLE file = CreateFileW(native_path(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
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

std::filesystem::path stream_path(const std::filesystem::path& path) { return native_path(path); }

void replace_file(const std::filesystem::path& from, const std::filesystem::path& to) {
    const std::wstring source = native_path(from), target = native_path(to);
    for (std::size_t attempt = 0;; ++attempt) {
        if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) return;
        const DWORD error = GetLastError();
        if (!wait_to_retry(attempt, held_by_another_program(error))) {
            throw std::filesystem::filesystem_error("rename", from, to,
                                                    std::error_code(static_cast<int>(error), native_category()));
        }
    }
}

std::optional<FileStamp> file_stamp(const std::filesystem::path& path) {
    // Opened rather than asked by name, so that a link gives its target's time.
    HANDLE file = CreateFileW(native_path(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!ok || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
    const std::uint64_t written =
        (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
    const std::uintmax_t size = (std::uintmax_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    return FileStamp{static_cast<std::int64_t>(written), size};
}

}  // namespace tarkeep::platform
