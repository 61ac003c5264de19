// Durable file writes and atomic replacement, and the folder listings, status queries,
// folder creation and removal that the rest of the code uses instead of std::filesystem's
// own: on Windows these reach paths past 260 characters.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <system_error>
#include <vector>

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

// The path to give the standard library's file streams for `path`: on Windows its
// absolute, extended-length form, through which the C runtime's open reaches past 260
// characters; elsewhere `path` itself. Messages should still name `path`.
std::filesystem::path stream_path(const std::filesystem::path& path);

// What shows that a file was rewritten: its last write time, in the system's own units
// (only ever compared), and its size.
struct FileStamp {
    std::int64_t written = 0;
    std::uintmax_t size = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file `path` names (links followed); none when it cannot be read.
std::optional<FileStamp> file_stamp(const std::filesystem::path& path);

// What a path names; links are followed, so a link to a folder is a folder.
enum class PathKind { missing, file, folder, other };

struct PathStatus {
    PathKind kind = PathKind::missing;
    std::uintmax_t size = 0;  // bytes of a file; 0 for anything else
};

// A path that does not exist is `missing`, not an error. Any other failure throws
// std::filesystem::filesystem_error ("status"), or sets `error` (kind `missing`).
PathStatus path_status(const std::filesystem::path& path);
PathStatus path_status(const std::filesystem::path& path, std::error_code& error);

inline bool path_exists(const std::filesystem::path& path) { return path_status(path).kind != PathKind::missing; }
inline bool is_folder(const std::filesystem::path& path) { return path_status(path).kind == PathKind::folder; }

struct FolderEntry {
    std::filesystem::path path;  // the listed folder joined with the entry's name
    PathKind kind = PathKind::other;
};

// The entries of `folder` (not recursive, without "." and ".."), in the order the system
// gives them: callers that need an order sort. A folder that cannot be listed throws
// std::filesystem::filesystem_error; the second form sets `error` instead and returns the
// entries read before the failure.
std::vector<FolderEntry> list_folder(const std::filesystem::path& folder);
std::vector<FolderEntry> list_folder(const std::filesystem::path& folder, std::error_code& error);

// Creates `folder` and any missing parents; an existing folder is no error, an existing
// file in the way is. Throws std::filesystem::filesystem_error.
void create_folders(const std::filesystem::path& folder);

// Removes a file or an empty folder; a missing path is no error.
void remove_path(const std::filesystem::path& path, std::error_code& error);

// Removes `path` with everything under it; a link is removed, never followed, and a
// missing path is no error. The first form throws std::filesystem::filesystem_error.
void remove_tree(const std::filesystem::path& path);
void remove_tree(const std::filesystem::path& path, std::error_code& error);

}  // namespace tarkeep::platform
