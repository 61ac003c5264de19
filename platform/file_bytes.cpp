// Whole files on top of the synced write, the replacing rename and the folder listing.
#include "platform/file_bytes.h"

#include <algorithm>
#include <fstream>
#include <ios>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "platform/cmdline.h"
#include "platform/files.h"

namespace tarkeep::platform {
namespace fs = std::filesystem;

void write_file_atomic(const fs::path& path, std::span<const std::uint8_t> bytes) {
    fs::path temporary = path;
    temporary += kTemporarySuffix;
    switch (write_file_synced(temporary, bytes)) {
        case WriteStatus::ok: break;
        case WriteStatus::cannot_open: throw std::runtime_error("cannot write " + path_to_utf8(temporary));
        case WriteStatus::write_failed: {
            std::error_code ignored;
            remove_path(temporary, ignored);  // a partial file is of no use to anyone
            throw std::runtime_error("write failed: " + path_to_utf8(temporary));
        }
    }
    replace_file(temporary, path);
}

void remove_stale_temporaries(const fs::path& folder) {
    std::error_code error;
    for (const FolderEntry& entry : list_folder(folder, error)) {
        if (entry.path.extension() == kTemporarySuffix) {
            std::error_code ignored;
            remove_path(entry.path, ignored);
        }
    }
}

std::vector<std::uint8_t> read_file(const fs::path& path) {
    std::ifstream in(stream_path(path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path_to_utf8(path));
    // A folder opens like a file and fails on the first read, where the stream throws a
    // message without the path.
    try {
        std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (!in.bad()) return bytes;
    } catch (const std::ios_base::failure&) {}
    throw std::runtime_error("cannot read " + path_to_utf8(path));
}

std::vector<std::uint8_t> read_file_tail(const fs::path& path, std::size_t count) {
    std::ifstream in(stream_path(path), std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
    if (size < 0) return {};
    const std::streamoff start = std::max<std::streamoff>(0, size - static_cast<std::streamoff>(count));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size - start));
    in.seekg(start);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in) return {};
    return bytes;
}

void write_file(const fs::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(stream_path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path_to_utf8(path));
}

}  // namespace tarkeep::platform
