// Texture flags of sprite table rows: names, numbers and noise.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/sprite_tables.h"

namespace tarkeep::data {
namespace {

TEST(TextureFlags, NamesNumbersAndNoise) {
    const std::pair<const char*, std::uint32_t> cases[] = {{"(mipmap|HasAlpha)", 0x201},
                                                           {" ( MirrorU | mirrorv | clampu|clampv ) ", 0x1e},
                                                           {"flipu|flipv|rotate|subtractalpha", 0x1e0},
                                                           {"mipmap|unknown|", 0x1},
                                                           {"((513))", 513},
                                                           {"()", 0},
                                                           {"", 0},
                                                           {"99999999999", 0x7fffffff},
                                                           {"-1", 0},
                                                           {"mip map", 0}};
    for (const auto& [text, flags] : cases) EXPECT_EQ(parse_texture_flags(text), flags) << text;
}

}  // namespace
}  // namespace tarkeep::data
