// Durable file writes and atomic replacement, the two steps under every cache file write.
#pragma once
#include <cstdint>
#include <filesystem>
#include <span>

namespace tarkeep::platform {

enum class WriteStatus {
    ok,
    cannot_open,   // the file could not be created or truncated
    write_failed,  // writing, flushing to the device or closing failed
};

// Writes `bytes` to `path` (created, or truncated when it exists) and makes them
// durable before returning (fsync on POSIX, FlushFileBuffers on Windows). Never throws
// for an I/O failure: the status says which step failed.
WriteStatus write_file_synced(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// Renames `from` onto `to`, replacing an existing file in one step (a reader sees the
// old or the new file, never a mix). Throws std::filesystem::filesystem_error for
// "rename" with both paths and the system's error code.
void replace_file(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace tarkeep::platform
