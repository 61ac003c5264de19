// The zlib wrapper (RFC 1950) around a deflate stream: a two-byte header and an Adler-32
// trailer. PNG image data is such a stream.
#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace tarkeep::io {

// Header 78 9C with our compressor, or 78 01 with stored blocks when `compress` is false.
std::vector<std::uint8_t> zlib_wrap(std::span<const std::uint8_t> data, bool compress);

// At least header and trailer, method 8 and a header whose check bits are right.
bool zlib_header_plausible(std::span<const std::uint8_t> stream);

struct ZlibPayload {
    std::vector<std::uint8_t> data;
    bool checksum_matches = false;
};

// Inflates the deflate data between header and trailer (see inflate() for the two sizes)
// and compares the trailer with the Adler-32 of what came out. The header must be
// plausible. Damaged deflate data throws ZipError.
ZlibPayload zlib_unwrap(std::span<const std::uint8_t> stream, std::size_t expected_size = 0,
                        std::size_t output_limit = std::numeric_limits<std::size_t>::max());

}  // namespace tarkeep::io
