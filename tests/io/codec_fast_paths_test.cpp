// The fast paths of the codec against zlib and the reference decoder: both CRC-32 paths, literal
// pairs at the output limit, short-period matches, and matches at the window's edge.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "io/checksum.h"
#include "io/checksum_simd.h"
#include "io/deflate.h"
#include "io/inflate.h"
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

// Few distinct bytes give literal codes of two or three bits, so the decoder takes them
// two at a time; every limit must still stop exactly where the reference stops.
TEST(CodecFastPaths, LiteralPairsStopAtTheLimitLikeTheReference) {
    std::mt19937 random(6);
    Bytes data(3000);
    for (auto& b : data) b = static_cast<std::uint8_t>("abcd"[random() % 4]);
    for (int strategy : {Z_HUFFMAN_ONLY, Z_FIXED, Z_DEFAULT_STRATEGY}) {
        const Bytes stream = zlib_deflate_raw(data, 6, strategy);
        EXPECT_EQ(io::inflate(stream), data) << strategy;
        for (std::size_t limit = 2000; limit < 2300; ++limit)
            ASSERT_EQ(io::inflate(stream, 0, limit), reference_inflate(stream, limit)) << strategy << " " << limit;
    }
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

}  // namespace
}  // namespace tarkeep::test
