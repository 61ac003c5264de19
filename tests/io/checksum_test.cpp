// CRC-32 (both paths) and Adler-32 against zlib at every length and alignment, and as running values.
#include "io/checksum.h"
#include "io/checksum_simd.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "tests/io/stream_fixtures.h"

namespace tarkeep::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Span = std::span<const std::uint8_t>;

std::uint32_t zlib_crc(Span p, uLong previous = 0) {
    return static_cast<std::uint32_t>(::crc32(previous, p.data(), static_cast<uInt>(p.size())));
}

std::uint32_t zlib_adler(Span p, uLong previous = 1) {
    return static_cast<std::uint32_t>(::adler32(previous, p.data(), static_cast<uInt>(p.size())));
}

// Every length up to 300 at every alignment, and 1000. The run-time choice hides one CRC
// path on any machine: each is checked on its own too, across the 16- and 64-byte steps of
// the folding and the 32-byte blocks of the tables, from a fresh and from a running value.
TEST(Checksum, MatchZlibForEveryLengthAndAlignmentOnBothCrcPaths) {
    std::mt19937 random(11);
    const Bytes data = random_bytes(random, 1008);
    for (std::size_t offset = 0; offset < 8; ++offset) {
        for (std::size_t length = 0; length <= 1000; length += length < 300 ? 1 : 700) {
            const Span piece(data.data() + offset, length);
            ASSERT_EQ(io::crc32(piece), zlib_crc(piece)) << offset << "+" << length;
            ASSERT_EQ(io::adler32(piece), zlib_adler(piece)) << offset << "+" << length;
            for (std::uint32_t previous : {0u, 0xDEADBEEFu}) {
                ASSERT_EQ(io::checksum_detail::crc32_tables(piece, previous), zlib_crc(piece, previous)) << length;
                if (!io::checksum_detail::crc32_fold_available()) continue;
                std::uint32_t state = ~previous;
                const std::size_t done = io::checksum_detail::crc32_fold(piece.data(), piece.size(), state);
                ASSERT_EQ(done, length < 64 ? 0 : length / 16 * 16) << length;
                ASSERT_EQ(~state, zlib_crc(piece.first(done), previous)) << offset << "+" << length;
            }
        }
    }
}

// Split points around Adler's 5552-byte reduction step, seeds, and a long run of 0xFF,
// which pushes Adler's sums hardest.
TEST(Checksum, ContinueRunningValuesAndLongMaximalRuns) {
    std::mt19937 random(12);
    Bytes data = random_bytes(random, 100000);
    const Span ones(data.data() + 40000, 3 * 5552 + 17);
    std::fill_n(data.begin() + 40000, ones.size(), 0xFF);
    for (std::size_t cut : {0u, 1u, 37u, 5552u, 5553u, 65536u, 99999u, 100000u}) {
        const Span head(data.data(), cut), tail(data.data() + cut, data.size() - cut);
        EXPECT_EQ(io::crc32(tail, io::crc32(head)), zlib_crc(data)) << cut;
        EXPECT_EQ(io::adler32(tail, io::adler32(head)), zlib_adler(data)) << cut;
    }
    EXPECT_EQ(io::adler32(ones), zlib_adler(ones));
    EXPECT_EQ(io::adler32(ones, 0xFFF0FFF0u), zlib_adler(ones, 0xFFF0FFF0u));
}

}  // namespace
}  // namespace tarkeep::test
