// Writing a zip archive to a file entry by entry, for archives too large to build in memory.
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "io/zip_writer.h"

namespace tarkeep::io {

// One entry ready to be written: its data compressed (or stored, when deflate does not make
// it smaller) with its CRC. Preparing is the costly part and may run on worker threads.
ZipWriterEntry prepare_zip_entry(std::string name, std::span<const std::uint8_t> data);

// Writes entries to "<path>.tmp" as they come and keeps only their central records; commit()
// adds the central directory and moves the file onto `path` in one step, so `path` holds the
// old archive or the complete new one, never a part. Without commit() the temporary file is
// removed. The archive has no ZIP64 records: past 65535 entries or 4 GiB it throws ZipError.
class ZipFileWriter {
public:
    explicit ZipFileWriter(std::filesystem::path path);
    ~ZipFileWriter();
    ZipFileWriter(const ZipFileWriter&) = delete;
    ZipFileWriter& operator=(const ZipFileWriter&) = delete;

    // Writes the entry's local header and payload. Throws ZipError.
    void add(const ZipWriterEntry& entry);
    void commit();

    // Bytes written so far (the archive's size once committed).
    std::uint64_t size() const { return offset_; }

private:
    void write(const std::vector<std::uint8_t>& bytes);

    std::filesystem::path path_;
    std::filesystem::path temporary_;
    std::ofstream file_;
    std::vector<std::uint8_t> directory_;
    std::uint64_t offset_ = 0;
    std::size_t count_ = 0;
    bool committed_ = false;
};

}  // namespace tarkeep::io
