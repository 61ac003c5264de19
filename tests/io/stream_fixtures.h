// Deflate test data: zlib-compressed input, data shaped like the archives, hand-written blocks.
#pragma once
#include <cstdint>
#include <ostream>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "tests/support/reference_inflate.h"

namespace tarkeep::test {

// Raw deflate (no zlib header) of `data` by zlib.
std::vector<std::uint8_t> zlib_deflate_raw(const std::vector<std::uint8_t>& data, int level, int strategy,
                                           int mem_level = 8);

std::vector<std::uint8_t> random_bytes(std::mt19937& random, std::size_t size);
// Data shaped like what the archives hold: noise, runs, text with repeats, smooth ramps.
std::vector<std::uint8_t> mixed_data(std::mt19937& random, std::size_t size);

// Canonical codes for a list of code lengths (0 = no code), as deflate assigns them.
std::vector<std::uint32_t> canonical_codes(const std::vector<std::uint8_t>& lengths);

// BFINAL, BTYPE 2, HLIT, HDIST and the plainest code-length code: all 19 symbols get
// 5-bit codes, so code-length symbol s is written as the code s.
void write_code_length_code(DeflateBitWriter& writer, unsigned literal_count, unsigned distance_count);
// That header followed by every length written as itself.
void write_dynamic_header(DeflateBitWriter& writer, const std::vector<std::uint8_t>& literal_lengths,
                          const std::vector<std::uint8_t>& distance_lengths);

// A final dynamic block that writes 'a' and then `repeats` matches of 258 bytes at
// distance 1, three bits each: a small input with a huge output.
std::vector<std::uint8_t> expanding_stream(std::size_t repeats);

// What a decoder made of a stream: its output, or the text of the error it threw.
struct InflateOutcome {
    std::vector<std::uint8_t> output;
    std::string error;
    bool operator==(const InflateOutcome&) const = default;
};
void PrintTo(const InflateOutcome& outcome, std::ostream* os);

// Our inflate (with an announced size and an output limit) and the reference decoder.
InflateOutcome our_inflate(std::span<const std::uint8_t> stream, std::size_t announced = 0,
                           std::size_t limit = SIZE_MAX);
InflateOutcome reference_outcome(std::span<const std::uint8_t> stream, std::size_t limit = SIZE_MAX);

}  // namespace tarkeep::test
