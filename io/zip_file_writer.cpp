// Streaming zip archives to a file, with the central directory kept until the end.
#include "io/zip_file_writer.h"

#include <limits>

#include "io/checksum.h"
#include "io/deflate.h"
#include "io/zip_error.h"
#include "platform/cmdline.h"
#include "platform/files.h"

namespace tarkeep::io {
namespace {

constexpr std::uint64_t kZipLimit = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kEntryLimit = std::numeric_limits<std::uint16_t>::max();

}  // namespace

ZipWriterEntry prepare_zip_entry(std::string name, std::span<const std::uint8_t> data) {
    if (data.size() > kZipLimit) throw ZipError("entry too large for a zip archive: " + name);
    ZipWriterEntry entry;
    entry.name = std::move(name);
    entry.crc32 = crc32(data);
    entry.uncompressed_size = static_cast<std::uint32_t>(data.size());
    std::vector<std::uint8_t> packed = deflate_compress(data);
    if (packed.size() < data.size()) {
        entry.method = 8;
        entry.payload = std::move(packed);
    } else {
        entry.payload.assign(data.begin(), data.end());
    }
    entry.compressed_size = static_cast<std::uint32_t>(entry.payload.size());
    return entry;
}

ZipFileWriter::ZipFileWriter(std::filesystem::path path)
    : path_(std::move(path)), temporary_(std::filesystem::path(path_) += ".tmp") {
    file_.open(platform::stream_path(temporary_), std::ios::binary | std::ios::trunc);
    if (!file_) throw ZipError("cannot write " + platform::path_to_utf8(temporary_));
}

ZipFileWriter::~ZipFileWriter() {
    if (committed_) return;
    file_.close();
    std::error_code ignored;
    platform::remove_path(temporary_, ignored);
}

void ZipFileWriter::write(const std::vector<std::uint8_t>& bytes) {
    if (offset_ + bytes.size() > kZipLimit) {
        throw ZipError("archive would pass 4 GiB, the limit of a zip without ZIP64: " + platform::path_to_utf8(path_));
    }
    file_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file_) throw ZipError("write failed: " + platform::path_to_utf8(temporary_));
    offset_ += bytes.size();
}

void ZipFileWriter::add(const ZipWriterEntry& entry) {
    if (count_ == kEntryLimit) {
        throw ZipError("more than 65535 entries, the limit of a zip without ZIP64: " + platform::path_to_utf8(path_));
    }
    std::vector<std::uint8_t> header;
    append_local_header(header, entry);
    const std::uint64_t local_offset = offset_;
    write(header);
    write(entry.payload);
    append_central_record(directory_, entry, static_cast<std::uint32_t>(local_offset));
    ++count_;
}

void ZipFileWriter::commit() {
    const std::uint64_t directory_offset = offset_;
    std::vector<std::uint8_t> tail = directory_;
    append_end_record(tail, static_cast<std::uint16_t>(count_), static_cast<std::uint32_t>(directory_.size()),
                      static_cast<std::uint32_t>(directory_offset), 0);
    write(tail);
    file_.close();
    if (!file_) throw ZipError("write failed: " + platform::path_to_utf8(temporary_));
    platform::replace_file(temporary_, path_);
    committed_ = true;
}

}  // namespace tarkeep::io
