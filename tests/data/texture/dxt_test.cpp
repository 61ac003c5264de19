// DXT decoding: random blocks of every mode against a per-pixel decode, odd sizes and truncation.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "data/texture/dxt.h"
#include "data/texture/tex_error.h"
#include "tests/data/error_text.h"
#include "tests/support/naive_dxt.h"

namespace tarkeep::data {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes decode(const Bytes& blocks, std::uint32_t w, std::uint32_t h, std::uint32_t format) {
    return decode_dxt(blocks.data(), blocks.size(), w, h, format);
}

std::string error_of(const Bytes& blocks, std::size_t size, std::uint32_t w, std::uint32_t h, std::uint32_t format) {
    return test::error_text<TexError>([&] { decode_dxt(blocks.data(), size, w, h, format); });
}

TEST(DecodeDxt, TruncationFormatsAndRandomBlocksAgainstPerPixelDecoding) {
    const Bytes zeros(6 * 16, 0);
    const std::tuple<std::size_t, std::uint32_t, std::uint32_t, std::uint32_t, const char*> cases[] = {
        {95, 6, 10, format_dxt5, "decode_dxt: block data truncated"},
        {47, 6, 10, format_dxt1, "decode_dxt: block data truncated"},
        {96, 4, 4, format_rgba, "decode_dxt: not a DXT format"},
        // Sides whose block count overflows 64 bits when multiplied by the block size.
        {96, 0xFFFFFFFF, 0xFFFFFFFF, format_dxt5, "decode_dxt: block data truncated"},
        // Zero-sized images still need their one block.
        {7, 0, 0, format_dxt1, "decode_dxt: block data truncated"}};
    for (const auto& [size, w, h, format, message] : cases)
        EXPECT_EQ(error_of(zeros, size, w, h, format), message) << size << " " << w;
    EXPECT_TRUE(decode_dxt(zeros.data(), 8, 0, 4, format_dxt1).empty());
    std::mt19937 random(42);
    for (std::uint32_t format : {format_dxt1, format_dxt3, format_dxt5}) {
        for (auto [w, h] : {std::pair{37u, 23u}, std::pair{64u, 64u}, std::pair{3u, 9u}}) {
            Bytes data(((w + 3) / 4) * ((h + 3) / 4) * dxt_block_size(format));
            for (auto& b : data) b = std::uint8_t(random());
            // Equal endpoints in the first block: DXT1's three-colour and DXT5's six-value modes.
            const std::size_t colour = format == format_dxt1 ? 0 : 8;
            std::tie(data[colour + 2], data[colour + 3], data[1]) =
                std::tuple(data[colour], data[colour + 1], format == format_dxt5 ? data[0] : data[1]);
            EXPECT_EQ(decode(data, w, h, format), test::naive_decode_dxt(data.data(), w, h, format))
                << format_name(format) << " " << w << "x" << h;
        }
    }
}

}  // namespace
}  // namespace tarkeep::data
