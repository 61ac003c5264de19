#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/sprite_tables.h"

namespace tarkeep::data {
namespace {

using Rows = std::vector<std::vector<std::string>>;

TEST(SpriteRows, CommentsQuotingAndStripping) {
    const Rows rows = read_sprite_rows(
        "//Name,Texture,x,y,w,h,flags\r\n"
        "  btn_ok , \"ui\\Tex\\Buttons.TGA\",1,2,3,4,(mipmap|HasAlpha)\r\n"
        "\r\n"
        " , , \n"
        "\"a,\"\"b\"\"\",x\n"
        "last,\" q \"");
    EXPECT_EQ(rows, (Rows{{"btn_ok", "ui\\Tex\\Buttons.TGA", "1", "2", "3", "4", "(mipmap|HasAlpha)"},
                          {"a,\"b\"", "x"},
                          {"last", "q"}}));
}

TEST(SpriteRows, ButtonExample) {
    Sprite sprite;
    ASSERT_TRUE(sprite_from_row({"btn", "ui\\Tex\\Buttons.TGA", "10", "-20", "30", "40", "(mipmap|HasAlpha)"}, sprite));
    EXPECT_EQ(sprite.cache_key, "buttons.texcache");
    EXPECT_EQ(sprite.flags, 0x201u);
    EXPECT_EQ(sprite.texture, "ui\\Tex\\Buttons.TGA");
    EXPECT_EQ(sprite.x, 10u);
    EXPECT_EQ(static_cast<std::int32_t>(sprite.y), -20);
    EXPECT_EQ(sprite.width, 30u);
    EXPECT_EQ(sprite.height, 40u);
}

TEST(SpriteRows, RowRules) {
    Sprite sprite;
    EXPECT_FALSE(sprite_from_row({"a", "t.tga", "1", "2", "3"}, sprite));
    EXPECT_FALSE(sprite_from_row({"a", "t.tga", "1", "x", "3", "4"}, sprite));
    EXPECT_FALSE(sprite_from_row({"a", "t.tga", "1", "2.5", "3", "4"}, sprite));
    EXPECT_FALSE(sprite_from_row({"a", "t.tga", "1", "", "3", "4"}, sprite));
    EXPECT_FALSE(sprite_from_row({"a", "t.tga", "1", "-", "3", "4"}, sprite));
    ASSERT_TRUE(sprite_from_row({"a", "t.tga", "+1", "2", "3", "4"}, sprite));
    EXPECT_EQ(sprite.flags, 0u);
    EXPECT_EQ(sprite.x, 1u);
    // Coordinates clamp to the signed 32-bit range, however many digits they have.
    ASSERT_TRUE(sprite_from_row({"a", "t", "99999999999999999999999", "-3000000000", "2147483647", "0"}, sprite));
    EXPECT_EQ(sprite.x, 0x7fffffffu);
    EXPECT_EQ(sprite.y, 0x80000000u);
    EXPECT_EQ(sprite.width, 0x7fffffffu);
}

TEST(SpriteCacheKey, FileNameLowerCasedWithoutExtension) {
    EXPECT_EQ(sprite_cache_key("ui\\Tex\\Buttons.TGA"), "buttons.texcache");
    EXPECT_EQ(sprite_cache_key("ui/a.b.dds"), "a.b.texcache");
    EXPECT_EQ(sprite_cache_key("Plain"), "plain.texcache");
    EXPECT_EQ(sprite_cache_key(""), ".texcache");
}

TEST(TextureFlags, NamesNumbersAndNoise) {
    struct Case {
        const char* text;
        std::uint32_t flags;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) EXPECT_EQ(parse_texture_flags(c.text), c.flags) << c.text;
}

}  // namespace
}  // namespace tarkeep::data
