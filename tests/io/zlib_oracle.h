#pragma once
#include <cstdint>
#include <random>
#include <vector>

namespace tarkeep::test {

// Raw deflate (no zlib header) of `data` by zlib.
std::vector<std::uint8_t> zlib_deflate_raw(const std::vector<std::uint8_t>& data, int level, int strategy,
                                           int mem_level = 8);

// Data shaped like what the archives hold: noise, runs, text with repeats, smooth ramps.
std::vector<std::uint8_t> random_bytes(std::mt19937& random, std::size_t size);
std::vector<std::uint8_t> mixed_data(std::mt19937& random, std::size_t size);

}  // namespace tarkeep::test
