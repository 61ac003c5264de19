// Whole files as bytes: the plain reads and writes of made-up game folders.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace tarkeep::io {

std::vector<std::uint8_t> bytes_of(std::string_view text);
// Both throw std::runtime_error naming the path when the file cannot be read or written.
void write_file(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> read_file(const std::filesystem::path& path);

}  // namespace tarkeep::io
