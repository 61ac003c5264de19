// DXT encoding judged by the game's decoder: error bounds on made-up blocks, the modes chosen,
// DXT1 transparency, exact DXT5 alpha, bytes that depend on a block's pixels alone, odd sizes.
#include "data/texture/dxt_encoder.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <tuple>

#include "data/texture/dxt.h"
#include "data/texture/tex_error.h"
#include "tests/data/error_text.h"

namespace tarkeep::data {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Rgba = std::array<int, 4>;

const DxtOptions kBest{DxtQuality::best, 1}, kFast{DxtQuality::fast, 1};

Bytes make_image(std::uint32_t w, std::uint32_t h, const std::function<Rgba(std::uint32_t)>& pixel) {
    Bytes rgba(std::size_t(w) * h * 4);
    for (std::uint32_t i = 0; i < w * h; ++i) {
        const Rgba p = pixel(i);
        for (int c = 0; c < 4; ++c) rgba[4 * i + c] = std::uint8_t(p[c]);
    }
    return rgba;
}

Bytes round_trip(const Bytes& rgba, std::uint32_t w, std::uint32_t h, std::uint32_t format, const DxtOptions& options) {
    const Bytes blocks = encode_dxt(rgba.data(), w, h, format, options);
    return decode_dxt(blocks.data(), blocks.size(), w, h, format);
}

// The largest channel difference and the summed squared difference over R, G, B (and A).
struct Error {
    int worst = 0;
    long sum = 0;
};

Error error_of(const Bytes& a, const Bytes& b, int channels) {
    Error e;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const int d = std::abs(int(a[i]) - int(b[i]));
        if (int(i % 4) < channels) e.worst = std::max(e.worst, d), e.sum += d * d;
    }
    return e;
}

Rgba random_pixel(std::mt19937& random) {
    return {int(random() % 256), int(random() % 256), int(random() % 256), int(random() % 256)};
}

// A value the decoder produces exactly for channel k: the expansion of a random 5- or 6-bit code.
int exact(std::mt19937& random, int k) { return int(random() % (k == 1 ? 64u : 32u)) * 255 / (k == 1 ? 63 : 31); }

TEST(EncodeDxt, BestModeStaysWithinEachKindOfBlocksBound) {
    // Pixel i of a block of two colours (or one of them).
    using Maker = std::function<Rgba(std::mt19937&, const std::array<Rgba, 2>&, std::uint32_t)>;
    const Maker one = [](auto&, const auto& c, std::uint32_t) { return c[0]; };
    const Maker two = [](auto& random, const auto& c, std::uint32_t) { return c[random() % 2]; };
    const Maker ramp = [](auto&, const auto& c, std::uint32_t i) {  // at the thirds, as the decoder rounds them
        Rgba p;
        for (int k = 0; k < 4; ++k) p[k] = (c[0][k] * (3 - int(i % 4)) + c[1][k] * int(i % 4)) / 3;
        return p;
    };
    const std::tuple<const char*, Maker, bool, int> cases[] = {// name, pixels, exact colours, bound
                                                               {"one exact colour", one, true, 0},
                                                               {"one colour", one, false, 1},
                                                               {"two exact colours", two, true, 0},
                                                               {"two colours", two, false, 4},
                                                               {"ramp between exact colours", ramp, true, 0},
                                                               {"ramp", ramp, false, 5}};
    std::mt19937 random(7);
    for (const auto& [name, pixel, exact_colours, bound] : cases) {
        for (std::uint32_t format : {format_dxt1, format_dxt3, format_dxt5}) {
            for (int block = 0; block < 200; ++block) {
                std::array<Rgba, 2> colours;
                for (Rgba& colour : colours) {
                    for (int k = 0; k < 3; ++k) colour[k] = exact_colours ? exact(random, k) : int(random() % 256);
                    colour[3] = 255;
                }
                const Bytes rgba = make_image(4, 4, [&](std::uint32_t i) { return pixel(random, colours, i); });
                ASSERT_LE(error_of(rgba, round_trip(rgba, 4, 4, format, kBest), 3).worst, bound)
                    << name << " " << format_name(format) << " block " << block;
            }
        }
    }
}

// Photo-like blocks: a smooth slope in each channel plus grain. The fit must beat the bounding
// box clearly, in every format.
TEST(EncodeDxt, BestModeBeatsTheBoundingBoxOnPhotoLikeBlocks) {
    std::mt19937 random(11);
    for (std::uint32_t format : {format_dxt1, format_dxt3, format_dxt5}) {
        long best = 0, fast = 0;
        for (int block = 0; block < 300; ++block) {
            std::array<int, 9> slope;
            for (int& s : slope) s = int(random() % 61) - 30;
            const Bytes rgba = make_image(4, 4, [&](std::uint32_t i) {
                const auto at = [&](int k) {
                    return 128 + slope[k] * int(i % 4) + slope[3 + k] * int(i / 4) + slope[6 + k];
                };
                return Rgba{std::clamp(at(0) + int(random() % 9) - 4, 0, 255),
                            std::clamp(at(1) + int(random() % 9) - 4, 0, 255),
                            std::clamp(at(2) + int(random() % 9) - 4, 0, 255), 255};
            });
            best += error_of(rgba, round_trip(rgba, 4, 4, format, kBest), 3).sum;
            fast += error_of(rgba, round_trip(rgba, 4, 4, format, kFast), 3).sum;
        }
        EXPECT_LT(best * 10, fast * 7) << format_name(format) << " best " << best << " fast " << fast;
    }
}

// Entries 0, 1 and the midpoint of the three-colour mode hit these pixels exactly; four colours
// cannot (their inner entries sit at thirds). DXT1 must take three colours. DXT5 is decoded
// with four colours whatever the endpoint order, but its colour block must mean the same to a
// decoder that honours the order, and be at least as good as the bounding box.
TEST(EncodeDxt, ThreeColourModeWhereItWinsAndOnlyInDxt1) {
    const Bytes rgba = make_image(4, 4, [](std::uint32_t i) {
        const int v = std::array{0, 255, 127}[i % 3];
        return Rgba{v, 0, v, 255};
    });
    const Bytes dxt1 = encode_dxt(rgba.data(), 4, 4, format_dxt1, kBest);
    EXPECT_LE(dxt1[0] | dxt1[1] << 8, dxt1[2] | dxt1[3] << 8);
    EXPECT_EQ(error_of(rgba, round_trip(rgba, 4, 4, format_dxt1, kBest), 4).worst, 0);
    const Bytes dxt5 = encode_dxt(rgba.data(), 4, 4, format_dxt5, kBest);
    const Bytes colour_as_dxt1 = decode_dxt(dxt5.data() + 8, 8, 4, 4, format_dxt1);
    EXPECT_EQ(error_of(colour_as_dxt1, decode_dxt(dxt5.data(), 16, 4, 4, format_dxt5), 3).worst, 0);
    EXPECT_LE(error_of(rgba, round_trip(rgba, 4, 4, format_dxt5, kBest), 3).sum,
              error_of(rgba, round_trip(rgba, 4, 4, format_dxt5, kFast), 3).sum);
}

TEST(EncodeDxt, Dxt1PixelsBelowHalfAlphaBecomeTransparentBlack) {
    std::mt19937 random(3);
    for (const int clear_pixels : {1, 8, 15, 16}) {
        const Rgba colour = random_pixel(random);
        const auto block = [&](Rgba clear, Rgba opaque) {
            return make_image(4, 4, [&](std::uint32_t i) { return int(i) < clear_pixels ? clear : opaque; });
        };
        const Bytes rgba = block({200, 100, 50, 127}, {colour[0], colour[1], colour[2], 128});
        const Bytes wanted = block({0, 0, 0, 0}, {colour[0], colour[1], colour[2], 255});
        EXPECT_LE(error_of(wanted, round_trip(rgba, 4, 4, format_dxt1, kBest), 4).worst, 2) << clear_pixels;
        EXPECT_LE(error_of(wanted, round_trip(rgba, 4, 4, format_dxt1, kFast), 4).worst, 4) << clear_pixels;
    }
}

// Two values, one value, and 0 and 255 with two more: exact in one of the modes.
TEST(EncodeDxt, Dxt5AlphaIsExactWhereAModeHoldsEveryValue) {
    std::mt19937 random(5);
    for (int block = 0; block < 300; ++block) {
        const int values = block % 3 == 0 ? 1 : 2;
        const std::array<int, 4> alpha = {int(random() % 256), int(random() % 256), 0, 255};
        const bool edges = block % 2 == 1;  // with 0 and 255, the six-value mode
        const Bytes rgba = make_image(4, 4, [&](std::uint32_t i) {
            const std::uint32_t pick = edges ? i % 4 : i % std::uint32_t(values);
            return Rgba{90, 90, 90, alpha[pick]};
        });
        const Bytes decoded = round_trip(rgba, 4, 4, format_dxt5, kBest);
        for (std::size_t i = 3; i < 64; i += 4)
            ASSERT_EQ(decoded[i], rgba[i]) << "block " << block << " pixel " << i / 4;
    }
}

// A recoloured texture is diffed block by block: a block's bytes may depend on nothing but its
// 16 pixels. The same block among other neighbours, at another place, alone, or encoded by any
// number of threads, gives the same bytes.
TEST(EncodeDxt, BlockBytesDependOnlyOnTheBlocksPixels) {
    std::mt19937 random(13);
    const auto noise = [&](std::uint32_t) { return random_pixel(random); };
    const Bytes block = make_image(4, 4, noise);
    for (std::uint32_t format : {format_dxt1, format_dxt5}) {
        const Bytes alone = encode_dxt(block.data(), 4, 4, format, kBest);
        for (const auto& [bx, by] : {std::pair{1u, 2u}, std::pair{7u, 0u}}) {  // two places in 37x29 images
            Bytes image = make_image(37, 29, noise);
            for (std::uint32_t row = 0; row < 4; ++row)
                std::copy_n(&block[row * 16], 16, &image[((by * 4 + row) * 37 + bx * 4) * 4]);
            const Bytes blocks = encode_dxt(image.data(), 37, 29, format, kBest);
            EXPECT_TRUE(std::equal(alone.begin(), alone.end(), blocks.begin() + (by * 10 + bx) * alone.size()));
            for (const unsigned threads : {0u, 2u, 3u, 8u})
                EXPECT_EQ(encode_dxt(image.data(), 37, 29, format, {DxtQuality::best, threads}), blocks) << threads;
        }
    }
}

// Pixels past the edge repeat the last row and column: a 6x10 image encodes as its 8x12
// padding does, and a 1x1 image as its 4x4 one.
TEST(EncodeDxt, OddSizesRepeatTheEdgePixels) {
    std::mt19937 random(17);
    for (const auto& [w, h] : {std::pair{6u, 10u}, std::pair{1u, 1u}}) {
        const Bytes image = make_image(w, h, [&](std::uint32_t) { return random_pixel(random); });
        const std::uint32_t pw = (w + 3) / 4 * 4, ph = (h + 3) / 4 * 4;
        const Bytes padded = make_image(pw, ph, [&](std::uint32_t i) {
            const std::uint32_t x = std::min(i % pw, w - 1), y = std::min(i / pw, h - 1);
            const std::uint8_t* p = &image[(y * w + x) * 4];
            return Rgba{p[0], p[1], p[2], p[3]};
        });
        for (std::uint32_t format : {format_dxt1, format_dxt3, format_dxt5}) {
            for (const DxtOptions& options : {kBest, kFast}) {
                EXPECT_EQ(encode_dxt(image.data(), w, h, format, options),
                          encode_dxt(padded.data(), pw, ph, format, options))
                    << w << "x" << h << " " << format_name(format);
            }
        }
    }
    EXPECT_EQ(test::error_text<TexError>([] { encode_dxt(nullptr, 4, 4, format_rgba, kBest); }),
              "encode_dxt: not a DXT format");
}

}  // namespace
}  // namespace tarkeep::data
