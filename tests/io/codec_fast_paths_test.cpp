// The fast paths of the codec against zlib and the reference decoder: both CRC-32 paths, both
// inflate fast loops handing over to the careful path at every distance from the ends, sub-table
// codes, word copies at every short distance, and the compressor's matches.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <random>
#include <string>

#include "io/checksum.h"
#include "io/checksum_simd.h"
#include "io/deflate.h"
#include "io/deflate_tables.h"
#include "io/inflate.h"
#include "io/zip_error.h"
#include "tests/io/stream_fixtures.h"

namespace tarkeep::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace detail = io::checksum_detail;

std::uint32_t zlib_crc(std::span<const std::uint8_t> p, uLong previous) {
    return static_cast<std::uint32_t>(::crc32(previous, p.data(), static_cast<uInt>(p.size())));
}

// The run-time choice hides one path on any machine: each is checked on its own, around
// the 16- and 64-byte steps of the folding and the 32-byte blocks of the tables.
TEST(CodecFastPaths, BothCrcPathsMatchZlib) {
    std::mt19937 random(5);
    const Bytes data = random_bytes(random, 1100);
    for (std::size_t offset : {0u, 3u}) {
        for (std::size_t length : {0u, 1u, 31u, 63u, 64u, 65u, 79u, 80u, 127u, 128u, 129u, 255u, 1000u}) {
            const std::span<const std::uint8_t> piece(data.data() + offset, length);
            for (std::uint32_t previous : {0u, 0xDEADBEEFu}) {
                const std::uint32_t expected = zlib_crc(piece, previous);
                EXPECT_EQ(detail::crc32_tables(piece, previous), expected) << offset << "+" << length;
                if (!detail::crc32_fold_available()) continue;
                std::uint32_t state = ~previous;
                const std::size_t done = detail::crc32_fold(piece.data(), piece.size(), state);
                EXPECT_EQ(done, length < 64 ? 0 : length / 16 * 16) << length;
                EXPECT_EQ(~state, zlib_crc(piece.first(done), previous)) << offset << "+" << length;
            }
        }
    }
}

struct Outcome {
    Bytes output;
    std::string error;
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
    return os << o.output.size() << " bytes, error '" << o.error << "'";
}

Outcome ours(std::span<const std::uint8_t> stream, std::size_t expected, std::size_t limit = SIZE_MAX) {
    try {
        return {io::inflate(stream, expected, limit), {}};
    } catch (const io::ZipError& e) {
        return {{}, e.what()};
    }
}

Outcome reference(std::span<const std::uint8_t> stream, std::size_t limit = SIZE_MAX) {
    try {
        return {reference_inflate(stream, limit), {}};
    } catch (const ReferenceInflateError& e) {
        return {{}, e.what()};
    }
}

// Runs `check` with the processor's fast loop and again with the plain one.
void with_both_fast_loops(const std::function<void()>& check) {
    for (bool portable : {false, true}) {
        SCOPED_TRACE(portable ? "plain fast loop" : "processor's fast loop");
        io::inflate_detail::use_portable_fast_loop(portable);
        check();
    }
    io::inflate_detail::use_portable_fast_loop(false);
}

// A block of literals and matches under chosen code lengths (fixed ones for block type 1).
struct TokenWriter {
    std::vector<std::uint8_t> literal_lengths, distance_lengths;
    DeflateBitWriter bits;

    void start(bool fixed) {
        if (fixed) {
            bits.bits(0b011, 3);  // final, fixed codes
        } else {
            write_dynamic_header(bits, literal_lengths, distance_lengths);
        }
    }
    void symbol(const std::vector<std::uint8_t>& lengths, unsigned s) {
        bits.code(canonical_codes(lengths)[s], lengths[s]);
    }
    void literal(unsigned byte) { symbol(literal_lengths, byte); }
    void match(unsigned length, unsigned distance) {
        using namespace io::deflate_tables;
        unsigned l = 28;
        while (kLengthBase[l] > length) --l;
        symbol(literal_lengths, 257 + l);
        bits.bits(length - kLengthBase[l], kLengthExtra[l]);
        unsigned d = 29;
        while (kDistanceBase[d] > distance) --d;
        symbol(distance_lengths, d);
        bits.bits(distance - kDistanceBase[d], kDistanceExtra[d]);
    }
    Bytes finish() {
        symbol(literal_lengths, 256);
        return bits.finish();
    }
};

TokenWriter fixed_codes() {
    TokenWriter w;
    w.literal_lengths.assign(288, 8);
    std::fill(w.literal_lengths.begin() + 144, w.literal_lengths.begin() + 256, 9);
    std::fill(w.literal_lengths.begin() + 256, w.literal_lengths.begin() + 280, 7);
    w.distance_lengths.assign(30, 5);
    return w;
}

// Codes longer than the tables' roots: half the literals, every length symbol and most
// distances take 12 to 15 and 9 to 15 bits, so they decode through sub-tables. The set
// is incomplete, as a bit-by-bit decoder allows.
TokenWriter long_codes() {
    TokenWriter w;
    w.literal_lengths.assign(286, 0);
    for (unsigned s = 0; s < 286; ++s) w.literal_lengths[s] = s < 128 || s == 256 ? 8 : std::uint8_t(12 + s % 4);
    w.distance_lengths.assign(30, 0);
    for (unsigned s = 0; s < 30; ++s) w.distance_lengths[s] = s < 6 ? 4 : std::uint8_t(9 + s % 7);
    return w;
}

// Matches at every distance up to 40 and at far ones, of lengths around the word and
// copy sizes, between literals; written with the fixed and with the long codes.
Bytes copies_stream(bool fixed) {
    std::mt19937 random(11);
    TokenWriter w = fixed ? fixed_codes() : long_codes();
    w.start(fixed);
    for (int i = 0; i < 300; ++i) w.literal(random() % 256);
    const unsigned lengths[] = {3, 4, 7, 8, 9, 15, 16, 17, 31, 32, 33, 40, 41, 100, 257, 258};
    for (unsigned distance : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 12u, 15u, 16u, 17u, 24u, 31u, 32u, 33u, 40u, 299u}) {
        for (unsigned length : lengths) {
            w.match(length, distance);
            w.literal(random() % 256);
        }
    }
    return w.finish();
}

TEST(CodecFastPaths, CopiesAtEveryShortDistanceAndSubtableCodesMatchTheReference) {
    with_both_fast_loops([] {
        for (bool fixed : {true, false}) {
            const Bytes stream = copies_stream(fixed);
            const Outcome expected = reference(stream);
            ASSERT_EQ(expected.error, "");
            EXPECT_EQ(ours(stream, 0), expected) << fixed;
            EXPECT_EQ(ours(stream, expected.output.size()), expected) << fixed;
        }
    });
}

// The fast loop needs spare input and output; near either end the careful path takes
// over. Every cut of the input, every output limit and every announced size near the
// ends must give what the reference gives, whichever loop was running there.
TEST(CodecFastPaths, FastLoopHandsOverAtEveryDistanceFromTheEnds) {
    std::mt19937 random(6);
    Bytes text(3000);
    for (auto& b : text) b = static_cast<std::uint8_t>("abcd"[random() % 4]);
    const std::vector<Bytes> streams = {zlib_deflate_raw(text, 6, Z_HUFFMAN_ONLY), zlib_deflate_raw(text, 6, Z_FIXED),
                                        zlib_deflate_raw(mixed_data(random, 3000), 6, Z_DEFAULT_STRATEGY),
                                        copies_stream(true), copies_stream(false)};
    // The reference is slow: its outcomes once, both loops against them.
    struct Case {
        std::size_t stream, cut, limit;
        Outcome expected;
    };
    std::vector<Case> cases;
    std::vector<std::size_t> sizes;
    for (std::size_t k = 0; k < streams.size(); ++k) {
        const Bytes& stream = streams[k];
        const std::size_t size = sizes.emplace_back(reference(stream).output.size());
        for (std::size_t cut = stream.size() - 40; cut < stream.size(); ++cut)
            cases.push_back({k, cut, SIZE_MAX, reference({stream.data(), cut})});
        for (std::size_t limit = size - 320; limit <= size; ++limit)
            cases.push_back({k, stream.size(), limit, reference(stream, limit)});
        for (std::size_t limit = 0; limit < 16; ++limit)
            cases.push_back({k, stream.size(), limit, reference(stream, limit)});
    }
    with_both_fast_loops([&] {
        for (const Case& c : cases) {
            const std::span<const std::uint8_t> stream(streams[c.stream].data(), c.cut);
            ASSERT_EQ(ours(stream, 0, c.limit), c.expected) << c.stream << " cut " << c.cut << " limit " << c.limit;
        }
        for (std::size_t k = 0; k < streams.size(); ++k) {
            for (std::size_t expected = sizes[k] - 320; expected <= sizes[k] + 2; expected += 3)
                ASSERT_EQ(ours(streams[k], expected).output.size(), sizes[k]) << k << " announced " << expected;
        }
    });
}

// A match that ends exactly at the limit stops decoding there, one byte short of it
// continues: in the fast loop the round after it must not run.
TEST(CodecFastPaths, MatchesEndingAtTheLimit) {
    TokenWriter w = fixed_codes();
    w.start(true);
    for (int i = 0; i < 8; ++i) w.literal('p' + i);
    for (int i = 0; i < 40; ++i) {
        w.match(258, 8);
        w.literal('x');
    }
    const Bytes stream = w.finish();
    with_both_fast_loops([&] {
        for (std::size_t end = 8 + 258; end < 40 * 259; end += 259) {
            for (std::size_t limit : {end - 1, end, end + 1}) {
                const Outcome got = ours(stream, 0, limit);
                EXPECT_EQ(got, reference(stream, limit)) << limit;
                EXPECT_GT(got.output.size(), limit);
            }
        }
    });
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
    std::uint8_t rgba[4] = {90, 140, 60, 255};
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i % 4 != 3) rgba[i % 4] = static_cast<std::uint8_t>(rgba[i % 4] + int(random() % 5) - 2);
        data[i] = rgba[i % 4];
    }
    for (std::size_t size : {data.size(), std::size_t{3}, std::size_t{4}, std::size_t{5}}) {
        const Bytes input(data.begin(), data.begin() + std::ptrdiff_t(size));
        const Bytes compressed = io::deflate_compress(input);
        EXPECT_EQ(reference_inflate(compressed), input) << size;
        const double zlib_size = double(zlib_deflate_raw(input, 6, Z_DEFAULT_STRATEGY).size());
        EXPECT_LT(double(compressed.size()), 1.02 * zlib_size + 2) << size;
    }
}

}  // namespace
}  // namespace tarkeep::test
