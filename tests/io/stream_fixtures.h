// Deflate test data: zlib-compressed input, data shaped like the archives, hand-written blocks.
#pragma once
#include <zlib.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "io/inflate.h"
#include "io/zip_error.h"
#include "tests/support/reference_inflate.h"

namespace tarkeep::test {

// Raw deflate (no zlib header) of `data` by zlib.
inline std::vector<std::uint8_t> zlib_deflate_raw(const std::vector<std::uint8_t>& data, int level, int strategy,
                                                  int mem_level = 8) {
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, mem_level, strategy) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::vector<std::uint8_t> out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    deflateEnd(&stream);
    if (status != Z_STREAM_END) throw std::runtime_error("deflate failed: " + std::to_string(status));
    out.resize(stream.total_out);
    return out;
}

inline std::vector<std::uint8_t> random_bytes(std::mt19937& random, std::size_t size) {
    std::vector<std::uint8_t> data(size);
    for (auto& b : data) b = static_cast<std::uint8_t>(random());
    return data;
}

// Data shaped like what the archives hold: noise, runs, text with repeats, smooth ramps.
inline std::vector<std::uint8_t> mixed_data(std::mt19937& random, std::size_t size) {
    static const char* const kWords[] = {"unit", "tank", "infantry", "season", "winter", "texture", " = ", "{\n",
                                         "}\n",  "0.25", "true",     "\t",     "weapon", "range",   ",",   "\n"};
    std::vector<std::uint8_t> data;
    while (data.size() < size) {
        const std::size_t piece = 1 + random() % 4096, kind = random() % 5;
        const std::size_t distance = data.empty() ? 0 : 1 + random() % std::min<std::size_t>(data.size(), 40000);
        auto value = static_cast<std::uint8_t>(random());
        if (kind == 2) {  // words
            for (std::size_t i = 0; i < piece / 4; ++i)
                for (const char* word = kWords[random() % std::size(kWords)]; *word; ++word)
                    data.push_back(static_cast<std::uint8_t>(*word));
            continue;
        }
        for (std::size_t i = 0; i < piece; ++i) {                                        // kind 1 is a run of one byte
            if (kind == 0) value = static_cast<std::uint8_t>(random());                  // noise
            if (kind == 3) value = static_cast<std::uint8_t>(value + random() % 3 - 1);  // ramp, like texture rows
            if (kind == 4 && distance != 0) value = data[data.size() - distance];        // repeat, near or far
            data.push_back(value);
        }
    }
    data.resize(size);
    return data;
}

// Canonical codes for a list of code lengths (0 = no code), as deflate assigns them.
inline std::vector<std::uint32_t> canonical_codes(const std::vector<std::uint8_t>& lengths) {
    std::array<std::uint32_t, 16> count{}, next{};
    for (auto length : lengths) ++count[length];
    count[0] = 0;
    for (unsigned len = 1, code = 0; len < 16; ++len) next[len] = code = (code + count[len - 1]) << 1;
    std::vector<std::uint32_t> codes(lengths.size());
    for (std::size_t i = 0; i < lengths.size(); ++i)
        if (lengths[i] != 0) codes[i] = next[lengths[i]]++;
    return codes;
}

// BFINAL, BTYPE 2, HLIT, HDIST and the plainest code-length code: all 19 symbols get
// 5-bit codes, so code-length symbol s is written as the code s.
inline void write_code_length_code(DeflateBitWriter& writer, unsigned literal_count, unsigned distance_count) {
    writer.bits(0b101, 3);  // final, dynamic
    writer.bits(literal_count - 257, 5);
    writer.bits(distance_count - 1, 5);
    writer.bits(19 - 4, 4);
    for (int i = 0; i < 19; ++i) writer.bits(5, 3);
}

// That header followed by every length written as itself.
inline void write_dynamic_header(DeflateBitWriter& writer, const std::vector<std::uint8_t>& literal_lengths,
                                 const std::vector<std::uint8_t>& distance_lengths) {
    write_code_length_code(writer, static_cast<unsigned>(literal_lengths.size()),
                           static_cast<unsigned>(distance_lengths.size()));
    for (auto length : literal_lengths) writer.code(length, 5);
    for (auto length : distance_lengths) writer.code(length, 5);
}

// A final dynamic block that writes 'a' and then `repeats` matches of 258 bytes at
// distance 1, three bits each: a small input with a huge output.
inline std::vector<std::uint8_t> expanding_stream(std::size_t repeats) {
    std::vector<std::uint8_t> literal(286, 0);
    literal['a'] = 1;  // code 0
    literal[256] = 2;  // code 10
    literal[285] = 2;  // code 11: length 258
    DeflateBitWriter writer;
    write_dynamic_header(writer, literal, {1});
    writer.code(0, 1);
    for (std::size_t i = 0; i < repeats; ++i) writer.code(0b110, 3);  // length 258, distance code 0
    writer.code(0b10, 2);
    return writer.finish();
}

// What a decoder made of a stream: its output, or the text of the error it threw.
struct InflateOutcome {
    std::vector<std::uint8_t> output;
    std::string error;
    bool operator==(const InflateOutcome&) const = default;
};
inline void PrintTo(const InflateOutcome& outcome, std::ostream* os) {
    *os << (outcome.error.empty() ? "output of " + std::to_string(outcome.output.size()) + " bytes" : outcome.error);
}

template <typename Error, typename Decode>
InflateOutcome outcome_of(Decode decode) {
    try {
        return {decode(), ""};
    } catch (const Error& e) {
        return {{}, e.what()};
    }
}

// Our inflate (with an announced size and an output limit) and the reference decoder.
inline InflateOutcome our_inflate(std::span<const std::uint8_t> stream, std::size_t announced = 0,
                                  std::size_t limit = SIZE_MAX) {
    return outcome_of<io::ZipError>([&] { return io::inflate(stream, announced, limit); });
}

inline InflateOutcome reference_outcome(std::span<const std::uint8_t> stream, std::size_t limit = SIZE_MAX) {
    return outcome_of<ReferenceInflateError>([&] { return reference_inflate(stream, limit); });
}

}  // namespace tarkeep::test
