#include "io/checksum.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "tests/io/zlib_oracle.h"

namespace tarkeep::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t zlib_crc(const std::uint8_t* p, std::size_t n, std::uint32_t previous = 0) {
    return static_cast<std::uint32_t>(::crc32(previous, p, static_cast<uInt>(n)));
}

std::uint32_t zlib_adler(const std::uint8_t* p, std::size_t n, std::uint32_t previous = 1) {
    return static_cast<std::uint32_t>(::adler32(previous, p, static_cast<uInt>(n)));
}

TEST(Checksum, KnownValues) {
    const Bytes text = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(io::crc32(text), 0xCBF43926u);
    EXPECT_EQ(io::adler32(text), 0x091E01DEu);
    EXPECT_EQ(io::crc32({}), 0u);
    EXPECT_EQ(io::adler32({}), 1u);
}

TEST(Checksum, MatchZlibForEveryLengthAndAlignment) {
    std::mt19937 random(11);
    const Bytes data = random_bytes(random, 1024);
    for (std::size_t offset = 0; offset < 8; ++offset) {
        for (std::size_t length = 0; offset + length <= 300; ++length) {
            const std::span<const std::uint8_t> piece(data.data() + offset, length);
            ASSERT_EQ(io::crc32(piece), zlib_crc(piece.data(), length)) << offset << "+" << length;
            ASSERT_EQ(io::adler32(piece), zlib_adler(piece.data(), length)) << offset << "+" << length;
        }
    }
}

TEST(Checksum, ContinueRunningValues) {
    std::mt19937 random(12);
    const Bytes data = random_bytes(random, 100000);
    for (std::size_t cut : {0u, 1u, 37u, 5552u, 5553u, 65536u, 99999u, 100000u}) {
        const std::span<const std::uint8_t> head(data.data(), cut), tail(data.data() + cut, data.size() - cut);
        EXPECT_EQ(io::crc32(tail, io::crc32(head)), zlib_crc(data.data(), data.size())) << cut;
        EXPECT_EQ(io::adler32(tail, io::adler32(head)), zlib_adler(data.data(), data.size())) << cut;
    }
    EXPECT_EQ(io::crc32(data, 0x12345678u), zlib_crc(data.data(), data.size(), 0x12345678u));
    EXPECT_EQ(io::adler32(data, 0xFFF0FFF0u), zlib_adler(data.data(), data.size(), 0xFFF0FFF0u));
}

TEST(Checksum, AdlerSumsDoNotOverflowOnLongRunsOfMaximalBytes) {
    const Bytes ones(3 * 5552 + 17, 0xFF);
    EXPECT_EQ(io::adler32(ones), zlib_adler(ones.data(), ones.size()));
    EXPECT_EQ(io::adler32(ones, 0xFFF0FFF0u), zlib_adler(ones.data(), ones.size(), 0xFFF0FFF0u));
}

}  // namespace
}  // namespace tarkeep::test
