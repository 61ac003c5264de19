// The deflate compressor: round trips through zlib, block coding choices, ratio, Huffman length limits.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <random>

#include "io/deflate.h"
#include "io/deflate_block.h"
#include "io/deflate_tables.h"
#include "tests/io/stream_fixtures.h"

namespace tarkeep::io {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Raw inflate by zlib, the independent oracle; the stream must end with the input.
Bytes zlib_inflate(const Bytes& compressed, std::size_t expected) {
    z_stream stream{};
    EXPECT_EQ(inflateInit2(&stream, -15), Z_OK);
    Bytes out(expected + 16);
    stream.next_in = const_cast<Bytef*>(compressed.data());
    stream.avail_in = uInt(compressed.size());
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(stream.avail_in, 0u) << "bytes after the final block";
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return out;
}

Bytes random_bytes(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    return test::random_bytes(random, n);
}

// Filtered rows of a terrain-like texture: a smooth colour field with fine grain.
Bytes texture_like(std::size_t width, std::size_t height, unsigned seed) {
    std::mt19937 random(seed);
    Bytes b;
    for (std::size_t y = 0; y < height; ++y) {
        b.push_back(0);
        for (std::size_t x = 0; x < width; ++x) {
            const double field =
                std::sin(double(x) / 23.0) * std::cos(double(y) / 31.0) + std::sin(double(x + y) / 57.0);
            const int base = int(100 + 50 * field), grain = int(random() % 7) - 3;
            b.insert(b.end(), {std::uint8_t(base + grain), std::uint8_t(base / 2 + 40 + grain),
                               std::uint8_t(base / 3 + 20), std::uint8_t(field > 0.5 ? 255 : 128)});
        }
    }
    return b;
}

// Round trips through zlib; where given, the coding of the first block (0 stored,
// 2 dynamic) and a bound on the output size.
TEST(Deflate, RoundTripsThroughZlibAndChoosesTheCodingPerBlock) {
    Bytes period3;
    for (int i = 0; i < 100000; ++i) period3.push_back(std::uint8_t(i % 3));
    Bytes edges;  // a match at the first and at the last distance of every distance code
    for (std::size_t code = 0; code < deflate_tables::kDistanceBase.size(); ++code) {
        const unsigned first = deflate_tables::kDistanceBase[code];
        for (const unsigned d : {first, first + (1u << deflate_tables::kDistanceExtra[code]) - 1}) {
            const Bytes piece = random_bytes(d, d);
            edges.insert(edges.end(), piece.begin(), piece.end());
            for (std::size_t i = 0; i < 16; ++i) edges.push_back(piece[i % d]);
        }
    }
    // Bytes seen once and then again exactly 32768 bytes later (still reachable) or 32769
    // (just out of reach, which zlib would refuse).
    const auto repeat_after = [](std::size_t gap) {
        Bytes data = random_bytes(gap + 300, 8);
        std::copy_n(data.begin(), 300, data.begin() + std::ptrdiff_t(gap));
        return data;
    };
    // Noisy pixels (channels drifting by -2..2): most matches are three bytes long, and
    // chains only link positions sharing four; the ends have fewer than four to hash.
    std::mt19937 random(9);
    Bytes noisy(80000);
    for (std::size_t i = 0; i < noisy.size(); ++i)
        noisy[i] = i < 4 || i % 4 == 3 ? 200 : static_cast<std::uint8_t>(noisy[i - 4] + int(random() % 5) - 2);
    const auto noisy_head = [&](std::ptrdiff_t n) { return Bytes(noisy.begin(), noisy.begin() + n); };
    const auto near_zlib = [](const Bytes& input, double ratio) {
        return std::size_t(ratio * double(test::zlib_deflate_raw(input, 6, Z_DEFAULT_STRATEGY).size()) + 2);
    };
    const Bytes texture = texture_like(512, 256, 9);
    struct Case {
        const char* name;
        Bytes input;
        int block_type = -1;
        std::size_t max_size = SIZE_MAX;
    };
    const Case cases[] = {
        {"one byte", {42}},
        {"two bytes", {1, 2}},
        {"three equal", {9, 9, 9}},
        {"random, about one token block", random_bytes(16384, 10)},
        {"random, stored a little over its size", random_bytes(50000, 6), 0, 50000 + 4 * 5 + 8},
        {"zeros: one literal and distance-1 matches", Bytes(100000, 0), -1, 200},
        {"period 3", period3},
        {"text, runs, ramps and repeats", test::mixed_data(random, 60000)},
        {"matches at both ends of every distance code", edges},
        {"texture rows, Huffman coded", texture_like(300, 40, 7), 2},
        {"texture rows over many blocks", texture_like(1024, 160, 5)},
        {"texture rows, near zlib level 6", texture, -1, near_zlib(texture, 1.03)},
        {"a repeat 32468 bytes back", repeat_after(32468), -1, 32468 + 100},
        {"a repeat 32768 bytes back", repeat_after(32768), -1, 32768 + 100},
        {"a repeat 32769 bytes back", repeat_after(32769)},
        {"noisy pixels", noisy, -1, near_zlib(noisy, 1.02)},
        {"three noisy bytes", noisy_head(3), -1, near_zlib(noisy_head(3), 1.02)},
        {"four noisy bytes", noisy_head(4), -1, near_zlib(noisy_head(4), 1.02)},
        {"five noisy bytes", noisy_head(5), -1, near_zlib(noisy_head(5), 1.02)},
    };
    for (const Case& c : cases) {
        const Bytes compressed = deflate_compress(c.input);
        EXPECT_EQ(zlib_inflate(compressed, c.input.size()), c.input) << c.name;
        if (c.block_type >= 0) {
            EXPECT_EQ((compressed.at(0) >> 1) & 3, c.block_type) << c.name;
        }
        EXPECT_LE(compressed.size(), c.max_size) << c.name;
    }
    // Empty input: a final fixed block holding only end-of-block (3 + 7 bits).
    EXPECT_EQ(deflate_compress({}), (Bytes{0x03, 0x00}));
}

TEST(Deflate, StoredBlockSplitsAt65535) {
    // One block of 70000 literal tokens of noise: stored, as two pieces.
    const Bytes noise = random_bytes(70000, 8);
    std::vector<deflate_detail::Token> tokens;
    for (std::uint8_t b : noise) tokens.push_back({b, 0});
    Bytes out;
    {
        deflate_detail::BitWriter writer(out);
        deflate_detail::write_block(writer, tokens, noise, true);
        writer.align_to_byte();
    }
    ASSERT_EQ(out.size(), 2 * 5 + noise.size());
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), (Bytes{0, 0xFF, 0xFF}));  // not final, stored, 65535 bytes
    EXPECT_EQ(out[5 + 65535], 1);                                            // final, stored
    EXPECT_EQ(zlib_inflate(out, noise.size()), noise);
}

TEST(HuffmanLengths, RespectTheLimitAndStayComplete) {
    // Fibonacci weights make the deepest possible tree.
    std::vector<std::uint32_t> fibonacci = {1, 1};
    while (fibonacci.size() < 30) fibonacci.push_back(fibonacci.end()[-1] + fibonacci.end()[-2]);
    for (unsigned limit : {15u, 7u}) {
        const std::vector<std::uint32_t> frequencies(fibonacci.begin(), fibonacci.begin() + (limit == 7 ? 19 : 30));
        const auto lengths = deflate_detail::huffman_lengths(frequencies, limit);
        double kraft = 0;
        for (std::size_t s = 0; s < lengths.size(); ++s) {
            EXPECT_GE(lengths[s], 1) << s;
            EXPECT_LE(lengths[s], limit) << s;
            kraft += std::ldexp(1.0, -lengths[s]);
        }
        EXPECT_DOUBLE_EQ(kraft, 1.0);
        EXPECT_GE(lengths[0], lengths.back());  // rarer symbols never get shorter codes
    }
    const std::pair<std::vector<std::uint32_t>, std::vector<std::uint8_t>> small[] = {
        {{5, 5, 5, 5}, {2, 2, 2, 2}},  // ties go to the lower symbol
        {{0, 0, 7}, {1, 0, 1}},        // one or no used symbol still yields two 1-bit codes
        {{3, 0, 0}, {1, 1, 0}},
        {{0, 0, 0}, {1, 1, 0}},
    };
    for (const auto& [frequencies, lengths] : small)
        EXPECT_EQ(deflate_detail::huffman_lengths(frequencies, 15), lengths) << ::testing::PrintToString(frequencies);
}

}  // namespace
}  // namespace tarkeep::io
