// The text helpers: stripping, extensions and season wrapping (line breaks and words through the CSV tests).
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>

#include "data/terrain_textures.h"
#include "data/text_lines.h"

namespace tarkeep::data {
namespace {

TEST(TextHelpers, StripSetsExtensionsAndSeasonWrapping) {
    EXPECT_EQ(strip_text_space("\x1c\xa0 a b\x85\t"), "a b");
    EXPECT_EQ(strip_c_space("\x1c a \xa0"), "\x1c a \xa0");
    EXPECT_EQ(strip_c_space("\v\t a \r\n"), "a");
    EXPECT_EQ(strip_chars("((a|b))", "()"), "a|b");
    EXPECT_EQ(strip_chars("\"\"", "\""), "");
    const std::tuple<const char*, const char*> stems[] = {
        {"grass.tga", "grass"}, {"a.b.c", "a.b"}, {"dir.x/file", "dir.x/file"}, {".hidden", ".hidden"}, {"a..b", "a."},
        {"x/.a.b", "x/.a"},     {"a.", "a"}};
    for (const auto& [path, stem] : stems) EXPECT_EQ(remove_extension(path), stem) << path;
    const std::tuple<std::size_t, long long, std::size_t> cases[] = {{3, 0, 0},  {3, 5, 2},  {3, -1, 2},  {3, -3, 0},
                                                                     {3, -4, 2}, {1, -7, 0}, {12, 11, 11}};
    for (const auto& [count, season, entry] : cases) EXPECT_EQ(season_entry(count, season), entry) << season;
    EXPECT_LT(season_entry(7, std::numeric_limits<long long>::min()), 7u);
}

}  // namespace
}  // namespace tarkeep::data
