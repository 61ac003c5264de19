// The fast paths of the codec against zlib and the reference decoder: both inflate fast loops handing over to the
// careful path at every distance from the ends, sub-table codes, word copies at every short distance, and the
// compressor's matches.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <tuple>

#include "io/deflate.h"
#include "io/deflate_tables.h"
#include "io/inflate.h"
#include "io/zip_error.h"
#include "tests/io/stream_fixtures.h"

namespace tarkeep::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

using Outcome = InflateOutcome;

// One final block of literals and matches, with the fixed codes or with codes longer than
// the tables' roots (half the literals, all lengths and most distances: 12-15 and 9-15
// bits, an incomplete set as a bit-by-bit decoder allows), so they go through sub-tables.
struct TokenWriter {
    std::vector<std::uint8_t> literal_lengths = std::vector<std::uint8_t>(288), distance_lengths{};
    DeflateBitWriter bits;

    explicit TokenWriter(bool fixed) {
        const std::uint8_t fixed_lengths[] = {8, 9, 7, 8};  // from symbols 0, 144, 256 and 280 on
        for (unsigned s = 0; s < 288; ++s)
            literal_lengths[s] = fixed ? fixed_lengths[(s >= 144) + (s >= 256) + (s >= 280)]
                                       : (s < 128 || s == 256 ? 8 : std::uint8_t(12 + s % 4));
        for (unsigned s = 0; s < 30; ++s) distance_lengths.push_back(fixed ? 5 : s < 6 ? 4 : std::uint8_t(9 + s % 7));
        fixed ? bits.bits(0b011, 3) : write_dynamic_header(bits, literal_lengths, distance_lengths);
    }
    void code(const std::vector<std::uint8_t>& lengths, unsigned s) {
        bits.code(canonical_codes(lengths)[s], lengths[s]);
    }
    void match(unsigned length, unsigned distance) {
        using namespace io::deflate_tables;
        unsigned l = 28, d = 29;
        while (kLengthBase[l] > length) --l;
        while (kDistanceBase[d] > distance) --d;
        code(literal_lengths, 257 + l);
        bits.bits(length - kLengthBase[l], kLengthExtra[l]);
        code(distance_lengths, d);
        bits.bits(distance - kDistanceBase[d], kDistanceExtra[d]);
    }
};

// Matches at every distance up to 9 and around the word and copy sizes, of lengths around
// those sizes, between literals; the last ones end exactly at and near each output limit
// the hand-over test below tries.
Bytes copies_stream(bool fixed) {
    std::mt19937 random(11);
    TokenWriter w(fixed);
    for (int i = 0; i < 300; ++i) w.code(w.literal_lengths, random() % 256);
    for (unsigned distance : {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 31, 32, 33, 299}) {
        for (unsigned length : {3, 4, 7, 8, 9, 16, 17, 31, 32, 33, 100, 257, 258}) {
            w.match(length, distance);
            w.code(w.literal_lengths, random() % 256);
        }
    }
    w.code(w.literal_lengths, 256);
    return w.bits.finish();
}

// The fast loop needs spare input and output; near either end the careful path takes
// over. Every cut of the input, every output limit and every announced size near the
// ends must give what the reference gives, whichever loop was running there.
TEST(CodecFastPaths, FastLoopsHandOverAtEveryDistanceFromTheEnds) {
    std::mt19937 random(6);
    Bytes text(3000);
    for (auto& b : text) b = static_cast<std::uint8_t>("abcd"[random() % 4]);
    const std::vector<Bytes> streams = {zlib_deflate_raw(text, 6, Z_HUFFMAN_ONLY), zlib_deflate_raw(text, 6, Z_FIXED),
                                        zlib_deflate_raw(mixed_data(random, 3000), 6, Z_DEFAULT_STRATEGY),
                                        copies_stream(true), copies_stream(false)};
    // The reference is slow: its outcomes once, both loops against them.
    std::vector<std::tuple<std::size_t, std::size_t, std::size_t, Outcome>> cases;  // stream, cut, limit
    for (std::size_t k = 0; k < streams.size(); ++k) {
        const Bytes& stream = streams[k];
        const Outcome whole = reference_outcome(stream);
        ASSERT_EQ(whole.error, "") << k;
        const std::size_t size = whole.output.size();
        for (std::size_t cut = stream.size() - 40; cut < stream.size(); ++cut)
            cases.emplace_back(k, cut, SIZE_MAX, reference_outcome({stream.data(), cut}));
        for (std::size_t limit = 0; limit <= size; limit = limit == 15 ? size - 320 : limit + 1)
            cases.emplace_back(k, stream.size(), limit, reference_outcome(stream, limit));
        cases.emplace_back(k, stream.size(), SIZE_MAX, whole);
    }
    for (bool portable : {false, true}) {  // the processor's fast loop, then the plain one
        io::inflate_detail::use_portable_fast_loop(portable);
        for (const auto& [k, cut, limit, expected] : cases) {
            const std::span<const std::uint8_t> stream(streams[k].data(), cut);
            ASSERT_EQ(our_inflate(stream, 0, limit), expected) << portable << k << " cut " << cut << " limit " << limit;
            if (limit != SIZE_MAX || cut != streams[k].size()) continue;
            for (std::size_t announced = expected.output.size() - 320; announced <= expected.output.size() + 2;
                 ++announced)
                ASSERT_EQ(our_inflate(stream, announced), expected) << portable << k << " announced " << announced;
        }
    }
    io::inflate_detail::use_portable_fast_loop(false);
}

// Pixels of 1 to 9 bytes repeated with small changes: matches at every short distance.
TEST(CodecFastPaths, ShortPeriodMatchesRepeatLikeByteCopies) {
    std::mt19937 random(7);
    for (std::size_t period = 1; period <= 9; ++period) {
        Bytes data;
        Bytes pixel = random_bytes(random, period);
        while (data.size() < 20000) {
            if (random() % 50 == 0) pixel[random() % period] ^= 1;
            data.insert(data.end(), pixel.begin(), pixel.end());
        }
        EXPECT_EQ(io::inflate(zlib_deflate_raw(data, 9, Z_DEFAULT_STRATEGY)), data) << period;
        EXPECT_EQ(io::inflate(io::deflate_compress(data)), data) << period;
    }
}

// Bytes seen once and then again exactly 32768 bytes later (still reachable) or 32769
// (just out of reach): the compressor must use the first and never the second.
TEST(CodecFastPaths, CompressorMatchesReachExactlyTheWindow) {
    std::mt19937 random(8);
    for (std::size_t gap : {32768u - 300u, 32768u, 32769u, 40000u}) {
        Bytes data = random_bytes(random, gap + 300);
        std::copy_n(data.begin(), 300, data.begin() + std::ptrdiff_t(gap));
        const Bytes compressed = io::deflate_compress(data);
        EXPECT_EQ(reference_inflate(compressed), data) << gap;
        // A 300-byte repeat within reach costs a few bytes, one out of reach all 300.
        EXPECT_EQ(compressed.size() < data.size() - 200, gap <= 32768) << gap << ": " << compressed.size();
    }
}

// Chains only link positions sharing four bytes; three-byte repeats must still be found
// (the nearest one kept per three-byte hash): in noisy pixels (channels drifting by -2..2)
// they are most of the matches. The ends of the input have fewer than four bytes to hash.
TEST(CodecFastPaths, CompressorStillFindsThreeByteMatches) {
    std::mt19937 random(9);
    Bytes data(80000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = i < 4 || i % 4 == 3 ? 200 : static_cast<std::uint8_t>(data[i - 4] + int(random() % 5) - 2);
    for (std::size_t size : {data.size(), std::size_t{3}, std::size_t{4}, std::size_t{5}}) {
        const Bytes input(data.begin(), data.begin() + std::ptrdiff_t(size));
        const Bytes compressed = io::deflate_compress(input);
        EXPECT_EQ(reference_inflate(compressed), input) << size;
        EXPECT_LT(double(compressed.size()), 1.02 * double(zlib_deflate_raw(input, 6, 0).size()) + 2) << size;
    }
}

}  // namespace
}  // namespace tarkeep::test
