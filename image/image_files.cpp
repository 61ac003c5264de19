// The atomic file write (temporary file, sync, rename), stale .tmp cleanup and PNG file I/O.
#include "image/image_files.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "image/png.h"
#include "platform/cmdline.h"
#include "platform/files.h"

namespace tarkeep::image {
namespace fs = std::filesystem;

void write_file_atomic(const fs::path& path, std::span<const std::uint8_t> bytes) {
    fs::path temporary = path;
    temporary += kTemporarySuffix;
    switch (platform::write_file_synced(temporary, bytes)) {
        case platform::WriteStatus::ok: break;
        case platform::WriteStatus::cannot_open:
            throw std::runtime_error("cannot write " + platform::path_to_utf8(temporary));
        case platform::WriteStatus::write_failed: {
            std::error_code ignored;
            platform::remove_path(temporary, ignored);  // a partial file is of no use to anyone
            throw std::runtime_error("write failed: " + platform::path_to_utf8(temporary));
        }
    }
    platform::replace_file(temporary, path);
}

void remove_stale_temporaries(const fs::path& folder) {
    std::error_code error;
    for (const platform::FolderEntry& entry : platform::list_folder(folder, error)) {
        if (entry.path.extension() == kTemporarySuffix) {
            std::error_code ignored;
            platform::remove_path(entry.path, ignored);
        }
    }
}

RgbaImage read_png_file(const fs::path& path) {
    std::ifstream in(platform::stream_path(path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + platform::path_to_utf8(path));
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return decode_png(bytes);
}

void write_png_file(const fs::path& path, const RgbaImage& image, bool compress) {
    write_file_atomic(path, encode_png(image, compress));
}

}  // namespace tarkeep::image
