// Zip archives of the game's data: the central-directory records and the reader over them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "io/zip_error.h"

namespace tarkeep::io {

// One central-directory record, as stored.
struct ZipEntry {
    std::string name;
    std::uint16_t method = 0;
    std::uint32_t crc32 = 0;
    std::uint64_t compressed_size = 0;
    std::uint64_t uncompressed_size = 0;
    std::uint64_t local_header_offset = 0;
};

// One opened zip archive (single disk, no ZIP64, stored or deflated entries). Holds no
// file handle: every read reopens the file, so concurrent reads are safe.
class ZipArchive {
public:
    explicit ZipArchive(std::filesystem::path path);
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::uint64_t file_size() const { return file_size_; }
    const std::vector<ZipEntry>& entries() const { return entries_; }

    // Position of the entry of this exact name (the later record when duplicated).
    std::optional<std::size_t> find(std::string_view name) const;

    // Uncompressed, size- and CRC-checked data of the named entry. Throws ZipError.
    std::vector<std::uint8_t> read(std::string_view name) const;
    std::string read_text(std::string_view name) const;

private:
    std::filesystem::path path_;
    std::uint64_t file_size_ = 0;
    std::vector<ZipEntry> entries_;
    std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace tarkeep::io
