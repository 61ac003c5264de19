#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <random>

#include "data/texture/deflate.h"
#include "data/texture/deflate_block.h"

namespace tarkeep::data {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Raw inflate by zlib, the independent oracle.
Bytes zlib_inflate(const Bytes& compressed, std::size_t expected) {
    z_stream stream{};
    EXPECT_EQ(inflateInit2(&stream, -15), Z_OK);
    Bytes out(expected + 16);
    stream.next_in = const_cast<Bytef*>(compressed.data());
    stream.avail_in = uInt(compressed.size());
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    const int status = inflate(&stream, Z_FINISH);
    EXPECT_EQ(status, Z_STREAM_END);
    EXPECT_EQ(stream.avail_in, 0u) << "bytes after the final block";
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return out;
}

Bytes random_bytes(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    Bytes b(n);
    for (auto& x : b) x = std::uint8_t(random());
    return b;
}

// Filtered-PNG-like rows: smooth gradients, some noise, repeated structure.
Bytes image_like(std::size_t width, std::size_t height, unsigned seed) {
    std::mt19937 random(seed);
    Bytes b;
    for (std::size_t y = 0; y < height; ++y) {
        b.push_back(0);
        for (std::size_t x = 0; x < width; ++x) {
            b.push_back(std::uint8_t(x / 3 + y));
            b.push_back(std::uint8_t(128 + (random() % 5)));
            b.push_back(std::uint8_t((x * y) >> 6));
            b.push_back(255);
        }
    }
    return b;
}

// Filtered rows of a terrain-like texture: a smooth colour field with fine grain.
Bytes texture_like(std::size_t width, std::size_t height, unsigned seed) {
    std::mt19937 random(seed);
    Bytes b;
    for (std::size_t y = 0; y < height; ++y) {
        b.push_back(0);
        for (std::size_t x = 0; x < width; ++x) {
            const double field = std::sin(double(x) / 23.0) * std::cos(double(y) / 31.0) + std::sin(double(x + y) / 57.0);
            const int base = int(100 + 50 * field), grain = int(random() % 7) - 3;
            b.push_back(std::uint8_t(base + grain));
            b.push_back(std::uint8_t(base / 2 + 40 + grain));
            b.push_back(std::uint8_t(base / 3 + 20));
            b.push_back(std::uint8_t(field > 0.5 ? 255 : 128));
        }
    }
    return b;
}

int block_type_of_first_block(const Bytes& compressed) { return (compressed.at(0) >> 1) & 3; }

TEST(Deflate, RoundTripsThroughZlib) {
    Bytes text;
    for (int i = 0; i < 3000; ++i) {
        const std::string word = "token" + std::to_string(i % 97) + " ";
        text.insert(text.end(), word.begin(), word.end());
    }
    struct Case {
        const char* name;
        Bytes input;
    };
    const Case cases[] = {
        {"empty", {}},
        {"one byte", {42}},
        {"two bytes", {1, 2}},
        {"three equal", {9, 9, 9}},
        {"random small", random_bytes(1000, 1)},
        {"random, about one token block", random_bytes(16384, 10)},
        {"random over two token blocks", random_bytes(40000, 2)},
        {"random over one stored piece", random_bytes(70000, 3)},
        {"zeros", Bytes(200000, 0)},
        {"period 3", [] { Bytes b; for (int i = 0; i < 100000; ++i) b.push_back(std::uint8_t(i % 3)); return b; }()},
        {"text", text},
        {"image-like", image_like(513, 97, 4)},
        {"image-like over many blocks", image_like(1024, 160, 5)},
    };
    for (const Case& c : cases) {
        const Bytes compressed = deflate_compress(c.input);
        EXPECT_EQ(zlib_inflate(compressed, c.input.size()), c.input) << c.name;
    }
}

TEST(Deflate, ChoosesTheCodingPerBlock) {
    // Empty input: a final fixed block holding only end-of-block (3 + 7 bits).
    EXPECT_EQ(deflate_compress({}), (Bytes{0x03, 0x00}));
    // A run: one literal and distance-1 matches, far below the input size.
    const Bytes zeros(100000, 0);
    EXPECT_LT(deflate_compress(zeros).size(), 200u);
    // Incompressible data is stored: a little over its own size.
    const Bytes noise = random_bytes(50000, 6);
    const Bytes stored = deflate_compress(noise);
    EXPECT_EQ(block_type_of_first_block(stored), 0);
    EXPECT_LE(stored.size(), noise.size() + 4 * 5 + 8);
    // Skewed data gets Huffman codes.
    const Bytes skewed = image_like(300, 40, 7);
    const Bytes coded = deflate_compress(skewed);
    EXPECT_EQ(block_type_of_first_block(coded), 2);
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
    EXPECT_EQ(out[0], 0);  // not final, stored
    EXPECT_EQ(out[1] | out[2] << 8, 65535);
    EXPECT_EQ(out[5 + 65535], 1);  // final, stored
    EXPECT_EQ(zlib_inflate(out, noise.size()), noise);
}

TEST(Deflate, CompressionNearZlibLevel6) {
    const Bytes input = texture_like(512, 256, 9);
    uLongf size = compressBound(uLong(input.size()));
    Bytes reference(size);
    ASSERT_EQ(compress2(reference.data(), &size, input.data(), uLong(input.size()), 6), Z_OK);
    const double ours = double(deflate_compress(input).size());
    const double zlib = double(size - 6);  // without the zlib header and trailer
    EXPECT_LT(ours, zlib * 1.03) << "zlib " << zlib;
}

TEST(HuffmanLengths, RespectTheLimitAndStayComplete) {
    // Fibonacci weights make the deepest possible tree.
    std::vector<std::uint32_t> fibonacci(30);
    fibonacci[0] = fibonacci[1] = 1;
    for (std::size_t i = 2; i < fibonacci.size(); ++i) fibonacci[i] = fibonacci[i - 1] + fibonacci[i - 2];
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
    // Ties go to the lower symbol: four equal weights give four 2-bit codes.
    EXPECT_EQ(deflate_detail::huffman_lengths(std::vector<std::uint32_t>{5, 5, 5, 5}, 15),
              (std::vector<std::uint8_t>{2, 2, 2, 2}));
    // One or no used symbol still yields two 1-bit codes.
    EXPECT_EQ(deflate_detail::huffman_lengths(std::vector<std::uint32_t>{0, 0, 7}, 15), (std::vector<std::uint8_t>{1, 0, 1}));
    EXPECT_EQ(deflate_detail::huffman_lengths(std::vector<std::uint32_t>{3, 0, 0}, 15), (std::vector<std::uint8_t>{1, 1, 0}));
    EXPECT_EQ(deflate_detail::huffman_lengths(std::vector<std::uint32_t>{0, 0, 0}, 15), (std::vector<std::uint8_t>{1, 1, 0}));
}

TEST(HuffmanLengths, CanonicalCodesFollowRfc1951Example) {
    // RFC 1951's example: lengths (3, 3, 3, 3, 3, 2, 4, 4) give F=00, A=010 ... H=1111.
    const std::vector<std::uint8_t> lengths = {3, 3, 3, 3, 3, 2, 4, 4};
    const std::vector<unsigned> expected = {0b010, 0b011, 0b100, 0b101, 0b110, 0b00, 0b1110, 0b1111};
    const auto codes = deflate_detail::canonical_codes(lengths);
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        unsigned reversed = 0;
        for (unsigned b = 0; b < lengths[s]; ++b) reversed |= ((expected[s] >> b) & 1) << (lengths[s] - 1 - b);
        EXPECT_EQ(codes[s], reversed) << s;
    }
}

}  // namespace
}  // namespace tarkeep::data
