// Every file read or written whole: the atomic write that cache files go through, the
// cleanup of what an interrupted one leaves behind, and plain whole-file reads and writes.
// Messages name the path in UTF-8.
#pragma once
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace tarkeep::platform {

// What the atomic write appends to a file's name while writing it.
inline constexpr char kTemporarySuffix[] = ".tmp";

// Writes `bytes` to <path>.tmp, flushes it to the device and renames it over `path`, so a
// reader sees the old complete file or the new one. Throws std::runtime_error ("cannot
// write <tmp>", "write failed: <tmp>") or the file-system error of "rename"; on every
// failure `path` is left as it was.
void write_file_atomic(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// A run killed while writing leaves "<name>.tmp" files behind; they are never read, and
// this removes them from `folder` (not its subfolders). Errors are ignored.
void remove_stale_temporaries(const std::filesystem::path& folder);

// The whole file; std::runtime_error "cannot read <path>" when it cannot be opened or read.
std::vector<std::uint8_t> read_file(const std::filesystem::path& path);

// The last `count` bytes of a file (all of a shorter one); empty when it cannot be read. For
// looking at a file that another program may still be writing.
std::vector<std::uint8_t> read_file_tail(const std::filesystem::path& path, std::size_t count);

// Creates or truncates `path` and writes `bytes`, without the atomic write's care: for
// files nobody reads while they are written. std::runtime_error "cannot write <path>".
void write_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace tarkeep::platform
