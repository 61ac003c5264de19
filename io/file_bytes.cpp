// Whole files as bytes.
#include "io/file_bytes.h"

#include "platform/files.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tarkeep::io {

std::vector<std::uint8_t> bytes_of(std::string_view text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

void write_file(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(platform::stream_path(path), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::uint8_t> read_file(const std::filesystem::path& path) {
    std::ifstream file(platform::stream_path(path), std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path.string());
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace tarkeep::io
