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

// The row's sprite as "name texture key x,y,w,h flags" (coordinates signed), or "rejected".
std::string sprite_of(const Row& row) {
    Sprite s;
    if (!sprite_from_row(row, s)) return "rejected";
    std::string out = s.name + " " + s.texture + " " + s.cache_key;
    char separator = ' ';
    for (const std::uint32_t v : {s.x, s.y, s.width, s.height}) {
        out += separator + std::to_string(static_cast<std::int32_t>(v));
        separator = ',';
    }
    return out + " " + std::to_string(s.flags);
}

TEST(SpriteRows, SixIntegerCellsMakeASprite) {
    const std::pair<Row, const char*> cases[] = {
        {{"btn", "ui\\Tex\\Buttons.TGA", "10", "-20", "30", "40", "(mipmap|HasAlpha)"},
         "btn ui\\Tex\\Buttons.TGA buttons.texcache 10,-20,30,40 513"},
        {{"a", "u/t.x.TGA", "+1", "2", "3", "4"}, "a u/t.x.TGA t.x.texcache 1,2,3,4 0"},
        // Coordinates clamp to the signed 32-bit range, however many digits they have.
        {{"a", "t", "99999999999999999999999", "-3000000000", "2147483647", "0"},
         "a t t.texcache 2147483647,-2147483648,2147483647,0 0"},
        {{"a", "t.tga", "1", "2", "3"}, "rejected"},
        {{"a", "t.tga", "1", "x", "3", "4"}, "rejected"},
        {{"a", "t.tga", "1", "2.5", "3", "4"}, "rejected"},
        {{"a", "t.tga", "1", "", "3", "4"}, "rejected"},
        {{"a", "t.tga", "1", "-", "3", "4"}, "rejected"},
    };
    for (const auto& [row, sprite] : cases) EXPECT_EQ(sprite_of(row), sprite) << row[2] << "," << row[3];
}

TEST(TextureFlags, NamesNumbersAndNoise) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"(mipmap|HasAlpha)", 0x201},
        {" ( MirrorU | mirrorv | clampu|clampv ) ", 0x1e},
        {"flipu|flipv|rotate|subtractalpha", 0x1e0},
        {"mipmap|unknown|", 0x1},
        {"((513))", 513},
        {"()", 0},
        {"", 0},
        {"99999999999", 0x7fffffff},
        {"-1", 0},
        {"mip map", 0},
    };
    for (const auto& [text, flags] : cases) EXPECT_EQ(parse_texture_flags(text), flags) << text;
}

}  // namespace
}  // namespace tarkeep::data
