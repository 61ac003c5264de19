// Reading zip archives: the central directory, entry lookup and stored/deflated extraction.
#include "io/byte_order.h"
#include "io/zip_archive.h"

#include <algorithm>
#include <fstream>
#include <span>

#include "io/checksum.h"
#include "io/inflate.h"
#include "platform/cmdline.h"
#include "platform/files.h"

namespace tarkeep::io {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kMaxCommentSize = 65535;
constexpr std::size_t kCentralRecordSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;

// Reads exactly `count` bytes at `offset`; false on any short or failed read.
bool read_at(std::ifstream& file, std::uint64_t offset, std::size_t count, std::uint8_t* out) {
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
    if (!file) return false;
    file.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
    return file && static_cast<std::size_t>(file.gcount()) == count;
}

std::string display(const std::filesystem::path& path) { return platform::path_to_utf8(path); }

}  // namespace

ZipArchive::ZipArchive(std::filesystem::path path) : path_(std::move(path)) {
    const std::string shown = display(path_);
    std::ifstream file(platform::stream_path(path_), std::ios::binary | std::ios::ate);
    if (!file) throw ZipError("cannot open " + shown);
    const std::streamoff end = file.tellg();
    if (end < 0) throw ZipError("read error: " + shown);
    file_size_ = static_cast<std::uint64_t>(end);
    if (file_size_ < kEndRecordSize) throw ZipError("not a zip archive: " + shown);

    const std::size_t tail_size =
        static_cast<std::size_t>(std::min<std::uint64_t>(file_size_, kEndRecordSize + kMaxCommentSize));
    std::vector<std::uint8_t> tail(tail_size);
    if (!read_at(file, file_size_ - tail_size, tail_size, tail.data())) throw ZipError("read error: " + shown);

    // The record nearest the end of the file wins.
    std::size_t record = tail_size - kEndRecordSize;
    while (load_le32(tail.data() + record) != kEndSignature) {
        if (record == 0) throw ZipError("no end of central directory: " + shown);
        --record;
    }
    const std::uint8_t* end_record = tail.data() + record;
    const std::uint16_t count = load_le16(end_record + 10);
    const std::uint64_t directory_size = load_le32(end_record + 12);
    const std::uint64_t directory_offset = load_le32(end_record + 16);
    if (directory_offset + directory_size > file_size_) throw ZipError("bad central directory in " + shown);

    std::vector<std::uint8_t> directory(static_cast<std::size_t>(directory_size));
    if (!read_at(file, directory_offset, directory.size(), directory.data())) throw ZipError("read error: " + shown);

    entries_.reserve(count);
    std::uint64_t p = 0;
    for (unsigned i = 0; i < count; ++i) {
        if (p + kCentralRecordSize > directory_size || load_le32(directory.data() + p) != kCentralSignature)
            throw ZipError("bad central directory entry in " + shown);
        const std::uint8_t* r = directory.data() + p;
        const std::uint16_t name_length = load_le16(r + 28);
        if (p + kCentralRecordSize + name_length > directory_size)
            throw ZipError("bad central directory entry in " + shown);
        ZipEntry entry;
        entry.method = load_le16(r + 10);
        entry.crc32 = load_le32(r + 16);
        entry.compressed_size = load_le32(r + 20);
        entry.uncompressed_size = load_le32(r + 24);
        entry.local_header_offset = load_le32(r + 42);
        entry.name.assign(reinterpret_cast<const char*>(r + kCentralRecordSize), name_length);
        index_[entry.name] = entries_.size();
        entries_.push_back(std::move(entry));
        p += kCentralRecordSize + name_length + load_le16(r + 30) + load_le16(r + 32);
    }
}

std::optional<std::size_t> ZipArchive::find(std::string_view name) const {
    const auto it = index_.find(std::string(name));
    if (it == index_.end()) return std::nullopt;
    return it->second;
}

std::vector<std::uint8_t> ZipArchive::read(std::string_view name) const {
    const std::optional<std::size_t> position = find(name);
    const std::string shown_name(name);
    if (!position) throw ZipError("no such entry: " + shown_name);
    const ZipEntry& entry = entries_[*position];

    std::ifstream file(platform::stream_path(path_), std::ios::binary);
    if (!file) throw ZipError("cannot open " + display(path_));

    // All offsets are 64-bit sums of 32-bit fields and cannot wrap.
    if (entry.local_header_offset + kLocalHeaderSize > file_size_) throw ZipError("bad local header: " + shown_name);
    std::uint8_t header[kLocalHeaderSize];
    if (!read_at(file, entry.local_header_offset, kLocalHeaderSize, header))
        throw ZipError("read error: " + shown_name);
    if (load_le32(header) != kLocalSignature) throw ZipError("bad local header: " + shown_name);

    const std::uint64_t data_start =
        entry.local_header_offset + kLocalHeaderSize + load_le16(header + 26) + load_le16(header + 28);
    if (data_start + entry.compressed_size > file_size_) throw ZipError("entry exceeds archive: " + shown_name);
    std::vector<std::uint8_t> stored(static_cast<std::size_t>(entry.compressed_size));
    if (!read_at(file, data_start, stored.size(), stored.data())) throw ZipError("read error: " + shown_name);

    std::vector<std::uint8_t> data;
    if (entry.method == kStored) {
        data = std::move(stored);
    } else if (entry.method == kDeflated) {
        // The recorded size bounds the output, so a stream that expands far beyond it
        // stops early and fails the size check instead of exhausting memory.
        const auto size = static_cast<std::size_t>(entry.uncompressed_size);
        data = inflate(stored, size, size);
    } else {
        throw ZipError("unsupported compression method " + std::to_string(entry.method) + ": " + shown_name);
    }
    if (data.size() != entry.uncompressed_size || crc32(data) != entry.crc32)
        throw ZipError("size/CRC mismatch: " + shown_name);
    return data;
}

std::string ZipArchive::read_text(std::string_view name) const {
    const std::vector<std::uint8_t> data = read(name);
    return std::string(data.begin(), data.end());
}

}  // namespace tarkeep::io
