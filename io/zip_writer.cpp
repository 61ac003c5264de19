// Building zip archive bytes: local headers, the central directory and the end record.
#include "io/zip_writer.h"

#include "io/byte_order.h"
#include "io/checksum.h"
#include "platform/file_bytes.h"

#include <stdexcept>

namespace tarkeep::io {
namespace {

void append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void append(std::vector<std::uint8_t>& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint16_t kVersion = 20;
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint16_t kDosDate = (1 << 5) | 1;  // 1980-01-01

// The fields the local header and the central record both hold, in the same order: from the
// flags to the extra field's length.
void shared_fields(std::vector<std::uint8_t>& out, const ZipWriterEntry& entry, const std::string& name,
                   const std::vector<std::uint8_t>& extra) {
    append_le16(out, 0);  // flags
    append_le16(out, entry.method);
    append_le16(out, kDosTime);
    append_le16(out, kDosDate);
    append_le32(out, entry.crc32);
    append_le32(out, entry.compressed_size);
    append_le32(out, entry.uncompressed_size);
    append_le16(out, static_cast<std::uint32_t>(name.size()));
    append_le16(out, static_cast<std::uint32_t>(extra.size()));
}

}  // namespace

void append_local_header(std::vector<std::uint8_t>& out, const ZipWriterEntry& entry) {
    const std::string& name = entry.local_name ? *entry.local_name : entry.name;
    append_le32(out, kLocalSignature);
    append_le16(out, kVersion);
    shared_fields(out, entry, name, entry.local_extra);
    append(out, name);
    append(out, entry.local_extra);
}

void append_central_record(std::vector<std::uint8_t>& out, const ZipWriterEntry& entry, std::uint32_t local_offset) {
    append_le32(out, kCentralSignature);
    append_le16(out, kVersion);  // made by
    append_le16(out, kVersion);  // needed
    shared_fields(out, entry, entry.name, entry.central_extra);
    append_le16(out, static_cast<std::uint32_t>(entry.central_comment.size()));
    append_le16(out, 0);  // disk
    append_le16(out, 0);  // internal attributes
    append_le32(out, 0);  // external attributes
    append_le32(out, entry.local_header_offset ? *entry.local_header_offset : local_offset);
    append(out, entry.name);
    append(out, entry.central_extra);
    append(out, entry.central_comment);
}

void append_end_record(std::vector<std::uint8_t>& out, std::uint16_t entry_count, std::uint32_t directory_size,
                       std::uint32_t directory_offset, std::uint16_t comment_size) {
    append_le32(out, kEndSignature);
    append_le16(out, 0);  // this disk
    append_le16(out, 0);  // disk with the directory
    append_le16(out, entry_count);
    append_le16(out, entry_count);
    append_le32(out, directory_size);
    append_le32(out, directory_offset);
    append_le16(out, comment_size);
}

namespace {

// An entry whose header fields agree with its payload and the data it stands for.
ZipWriterEntry consistent_entry(std::string name, std::uint16_t method, std::vector<std::uint8_t> payload,
                                const std::vector<std::uint8_t>& original) {
    ZipWriterEntry entry;
    entry.name = std::move(name);
    entry.method = method;
    entry.crc32 = crc32(original);
    entry.compressed_size = static_cast<std::uint32_t>(payload.size());
    entry.uncompressed_size = static_cast<std::uint32_t>(original.size());
    entry.payload = std::move(payload);
    return entry;
}

}  // namespace

ZipWriterEntry& ZipWriter::add_stored(std::string name, std::vector<std::uint8_t> data) {
    return add(consistent_entry(std::move(name), 0, data, data));
}

ZipWriterEntry& ZipWriter::add_stored(std::string name, std::string_view text) {
    return add_stored(std::move(name), std::vector<std::uint8_t>(text.begin(), text.end()));
}

ZipWriterEntry& ZipWriter::add_deflated(std::string name, std::vector<std::uint8_t> raw_deflate,
                                        const std::vector<std::uint8_t>& original) {
    return add(consistent_entry(std::move(name), 8, std::move(raw_deflate), original));
}

ZipWriterEntry& ZipWriter::add(ZipWriterEntry entry) {
    entries_.push_back(std::move(entry));
    return entries_.back();
}

void ZipWriter::set_comment(std::string_view comment) { comment_.assign(comment.begin(), comment.end()); }

std::vector<std::uint8_t> ZipWriter::bytes() const {
    std::vector<std::uint8_t> out;
    std::vector<std::uint32_t> offsets;
    for (const ZipWriterEntry& entry : entries_) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        append_local_header(out, entry);
        append(out, entry.payload);
    }
    const auto directory_offset = static_cast<std::uint32_t>(out.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) append_central_record(out, entries_[i], offsets[i]);
    const auto directory_size = static_cast<std::uint32_t>(out.size() - directory_offset);
    const auto count = static_cast<std::uint16_t>(entries_.size());

    append_end_record(out, end_record_.entry_count.value_or(count), end_record_.directory_size.value_or(directory_size),
                      end_record_.directory_offset.value_or(directory_offset),
                      static_cast<std::uint16_t>(comment_.size() & 0xFFFF));
    append(out, comment_);
    append(out, trailing_);
    return out;
}

void ZipWriter::write(const std::filesystem::path& path) const { platform::write_file(path, bytes()); }

}  // namespace tarkeep::io
