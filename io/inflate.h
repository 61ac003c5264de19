// Inflate: decoding raw deflate streams for zip entries and PNG data, with an output size limit.
#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace tarkeep::io {

// Decodes a raw deflate stream (no zlib or gzip wrapper). `expected_size` only reserves
// output space (0 reserves nothing). Decoding stops as soon as the output grows past
// `output_limit`; the result is then longer than the limit, which callers that know the
// true size report as a size mismatch instead of running out of memory.
// Throws ZipError with an "inflate: " message on a malformed stream.
std::vector<std::uint8_t> inflate(std::span<const std::uint8_t> compressed, std::size_t expected_size = 0,
                                  std::size_t output_limit = std::numeric_limits<std::size_t>::max());

namespace inflate_detail {
// For tests: this thread decodes with the plain fast loop even where the processor has
// the instructions of a faster variant.
void use_portable_fast_loop(bool portable);
}  // namespace inflate_detail

}  // namespace tarkeep::io
