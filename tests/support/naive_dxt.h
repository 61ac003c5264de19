// Per-pixel reference DXT decoding, independent of the product's block decoder.
#pragma once
#include <cstdint>
#include <vector>

namespace tarkeep::test {

// Straight per-pixel DXT decoding (block lookup and palette for every pixel): the
// reference the block decoder is compared and benchmarked against. Expects enough data.
std::vector<std::uint8_t> naive_decode_dxt(const std::uint8_t* blocks, std::uint32_t width, std::uint32_t height,
                                           std::uint32_t format);

}  // namespace tarkeep::test
