#pragma once
#include <cstdint>
#include <vector>

#include "tests/support/reference_inflate.h"

namespace tarkeep::test {

// Canonical codes for a list of code lengths (0 = no code), as deflate assigns them.
std::vector<std::uint32_t> canonical_codes(const std::vector<std::uint8_t>& lengths);

// Writes a block header (BFINAL, BTYPE 2) and the code lengths in the plainest form: all
// 19 code-length symbols get 5-bit codes, so symbol s is the code s, and every length is
// written as itself.
void write_dynamic_header(DeflateBitWriter& writer, bool final_block, const std::vector<std::uint8_t>& literal_lengths,
                          const std::vector<std::uint8_t>& distance_lengths);

// A dynamic block that writes 'a' and then `repeats` matches of 258 bytes at distance 1,
// three bits each: a small input with a huge output.
std::vector<std::uint8_t> expanding_stream(std::size_t repeats);

}  // namespace tarkeep::test
