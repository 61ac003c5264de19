// Sprite table rows: comments, quoting, which rows make sprites (with their cache keys) and texture flags.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/sprite_tables.h"

namespace tarkeep::data {
namespace {

using Row = std::vector<std::string>;

TEST(SpriteRows, CommentsQuotingAndStripping) {
    const std::vector<Row> rows = read_sprite_rows(
        "//Name,Texture,x,y,w,h,flags\r\n"
        "  btn_ok , \"ui\\Tex\\Buttons.TGA\",1,2,3,4,(mipmap|HasAlpha)\r\n"
        "\r\n"
        " , , \n"
        "\"a,\"\"b\"\"\",x\n"
        "last,\" q \"");
    EXPECT_EQ(rows, (std::vector<Row>{{"btn_ok", "ui\\Tex\\Buttons.TGA", "1", "2", "3", "4", "(mipmap|HasAlpha)"},
                                      {"a,\"b\"", "x"},
                                      {"last", "q"}}));
}

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
