// Writing zip archives in memory, with every field open to change (damaged archives for tests).
#pragma once
#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarkeep::io {

// One entry as it will be written. The add_* helpers fill in consistent values; tests
// then change single fields to build damaged archives (wrong CRC, sizes, offsets...).
struct ZipWriterEntry {
    std::string name;
    std::vector<std::uint8_t> payload;  // the bytes stored after the local header
    std::uint16_t method = 0;
    std::uint32_t crc32 = 0;
    std::uint32_t compressed_size = 0;
    std::uint32_t uncompressed_size = 0;
    std::vector<std::uint8_t> local_extra;
    std::vector<std::uint8_t> central_extra;
    std::string central_comment;
    // Name written in the local header when it should differ from the central one.
    std::optional<std::string> local_name;
    // Overrides the local header offset recorded in the central directory.
    std::optional<std::uint32_t> local_header_offset;
};

// Overrides for the end-of-central-directory record.
struct ZipEndRecord {
    std::optional<std::uint16_t> entry_count;
    std::optional<std::uint32_t> directory_size;
    std::optional<std::uint32_t> directory_offset;
};

// Builds zip archive bytes in memory: local headers with data, the central directory,
// the end record, an optional comment and optional bytes after everything.
class ZipWriter {
public:
    // References stay valid while the writer lives (entries are kept in a deque).
    ZipWriterEntry& add_stored(std::string name, std::vector<std::uint8_t> data);
    ZipWriterEntry& add_stored(std::string name, std::string_view text);
    // `raw_deflate` is a raw deflate stream (no zlib header) that decodes to `original`.
    ZipWriterEntry& add_deflated(std::string name, std::vector<std::uint8_t> raw_deflate,
                                 const std::vector<std::uint8_t>& original);
    ZipWriterEntry& add(ZipWriterEntry entry);

    std::deque<ZipWriterEntry>& entries() { return entries_; }
    ZipEndRecord& end_record() { return end_record_; }

    // The archive comment; its declared length is comment.size() truncated to 16 bits.
    void set_comment(std::vector<std::uint8_t> comment) { comment_ = std::move(comment); }
    void set_comment(std::string_view comment);
    // Bytes appended after the end record (and its comment), not declared anywhere.
    void set_trailing_data(std::vector<std::uint8_t> data) { trailing_ = std::move(data); }

    std::vector<std::uint8_t> bytes() const;
    void write(const std::filesystem::path& path) const;

private:
    std::deque<ZipWriterEntry> entries_;
    ZipEndRecord end_record_;
    std::vector<std::uint8_t> comment_;
    std::vector<std::uint8_t> trailing_;
};

// The records of one entry and of the archive's end, as both writers lay them out.
void append_local_header(std::vector<std::uint8_t>& out, const ZipWriterEntry& entry);
void append_central_record(std::vector<std::uint8_t>& out, const ZipWriterEntry& entry, std::uint32_t local_offset);
void append_end_record(std::vector<std::uint8_t>& out, std::uint16_t entry_count, std::uint32_t directory_size,
                       std::uint32_t directory_offset, std::uint16_t comment_size);

}  // namespace tarkeep::io
