// Deflate (RFC 1951) compression of whole buffers, the encoder behind our PNG files.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace tarkeep::io {

// Raw deflate stream (no zlib wrapper): LZ77 with hash chains and one-step lazy
// matching, blocks of 16384 tokens each coded stored, fixed or dynamic, whichever is
// smallest.
std::vector<std::uint8_t> deflate_compress(std::span<const std::uint8_t> input);

}  // namespace tarkeep::io
