// UI sheet collection, classification and tiling.
#include <gtest/gtest.h>

#include "tools/upscale/ui_sheets.h"

namespace tarkeep::upscale {
namespace {

bool operator==(const PixelRect& a, const PixelRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

std::vector<std::uint32_t> xs(const std::vector<UiTile>& tiles, bool input, bool end) {
    std::vector<std::uint32_t> values;
    for (const UiTile& t : tiles) {
        const PixelRect& r = input ? t.input : t.core;
        values.push_back(end ? r.x + r.width : r.x);
    }
    return values;
}

TEST(SplitTiles, WidePassIntoThreeOverlappingTiles) {
    const std::vector<UiTile> tiles = split_tiles(1200, 100, 8, 512);
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_EQ(xs(tiles, false, false), (std::vector<std::uint32_t>{0, 400, 800}));
    EXPECT_EQ(xs(tiles, false, true), (std::vector<std::uint32_t>{400, 800, 1200}));
    EXPECT_EQ(xs(tiles, true, false), (std::vector<std::uint32_t>{0, 376, 776}));
    EXPECT_EQ(xs(tiles, true, true), (std::vector<std::uint32_t>{440, 840, 1216}));
    for (const UiTile& t : tiles) EXPECT_TRUE((t.input == PixelRect{t.input.x, 0, t.input.width, 116}));
}

TEST(SplitTiles, OneTileWhenUnlimitedOrFitting) {
    struct Case {
        std::uint32_t width, height, margin, tile_max;
        std::size_t tiles;
    };
    const Case cases[] = {{5000, 3000, 8, 0, 1},
                          {496, 100, 8, 512, 1},
                          {497, 100, 8, 512, 2},
                          {100, 497, 8, 512, 2},
                          {600, 600, 8, 512, 4}};
    for (const Case& c : cases) {
        const std::vector<UiTile> tiles = split_tiles(c.width, c.height, c.margin, c.tile_max);
        ASSERT_EQ(tiles.size(), c.tiles) << c.width << "x" << c.height;
        if (c.tiles == 1) {
            EXPECT_TRUE((tiles[0].core == PixelRect{0, 0, c.width, c.height}));
            EXPECT_TRUE((tiles[0].input == PixelRect{0, 0, c.width + 2 * c.margin, c.height + 2 * c.margin}));
        }
    }
    // Rows are the outer order.
    const std::vector<UiTile> grid = split_tiles(600, 600, 8, 512);
    EXPECT_EQ(grid[1].core.x, 300u);
    EXPECT_EQ(grid[1].core.y, 0u);
    EXPECT_EQ(grid[2].core.y, 300u);
}

// Whatever the tile max, cores cover the pass without gaps, every input holds its core
// and stays within the tile max; above 80 the overlap is the full 32 pixels.
TEST(SplitTiles, TilesStayWithinTheTileMax) {
    for (std::uint32_t tile_max : {1u, 9u, 16u, 17u, 40u, 64u, 80u, 81u, 100u, 512u}) {
        for (std::uint32_t margin : {0u, 8u, 40u}) {
            for (std::uint32_t length : {1u, 15u, 100u, 333u}) {
                const std::vector<UiTile> tiles = split_tiles(length, 1, margin, tile_max);
                std::uint32_t next = 0;
                for (const UiTile& t : tiles) {
                    SCOPED_TRACE(testing::Message() << tile_max << " " << margin << " " << length);
                    EXPECT_EQ(t.core.x, next);
                    next = t.core.x + t.core.width;
                    EXPECT_LE(t.input.x, margin + t.core.x);
                    EXPECT_GE(t.input.x + t.input.width, margin + next);
                    if (tiles.size() > 1) {
                        EXPECT_LE(t.input.width, tile_max);
                        if (tile_max > 80 && margin + t.core.x >= 32) {
                            EXPECT_EQ(margin + t.core.x - t.input.x, 32u);
                        }
                    }
                }
                EXPECT_EQ(next, length);
                if (tile_max > 80 && tiles.size() > 1) {
                    EXPECT_EQ(tiles.size(), (length + tile_max - 65) / (tile_max - 64));
                }
            }
        }
    }
}

TEST(ClassifyUiSheet, FirstMatchingRule) {
    struct Case {
        const char* stem;
        const char* table;
        std::uint32_t side;
        const char* expected;
    };
    const Case cases[] = {
        {"button_big", "dbsprite_hud_packed.csv", 200, "icon"},
        {"hud_frame", "dbsprite_hud_packed.csv", 81, "panel"},
        {"hud_frame", "dbsprite_hud_packed.csv", 80, "icon"},
        {"hud_frame", "dbsprite_unitIcons_packed.csv", 300, "icon"},
        {"hud_frame", "dbsprite_techtree_packed.csv", 300, "icon"},
        {"hud_frame", "dbsprite_uianim_packed.csv", 300, "icon"},
        {"hud_frame", "dbsprite_unitActions_packed.csv", 300, "icon"},
        {"icon_big", "dbsprite_hud_packed.csv", 300, "icon"},
        {"big_icon_", "dbsprite_hud_packed.csv", 300, "panel"},
        {"top_but_x", "dbsprite_hud_packed.csv", 300, "icon"},
        {"resources", "dbsprite_hud_packed.csv", 300, "icon"},
        {"the_crown", "dbsprite_hud_packed.csv", 300, "icon"},
        {"panel", "dbsprite_hud_packed.csv", 0, "icon"},
    };
    for (const Case& c : cases) {
        UiSheet sheet;
        sheet.stem = c.stem;
        sheet.tables = {c.table};
        if (c.side > 0) sheet.rects = {{0, 0, 10, c.side}, {0, 0, c.side - 1, 5}};
        EXPECT_EQ(classify_ui_sheet(sheet), c.expected) << c.stem << " " << c.table << " " << c.side;
    }
}

data::Sprite sprite(const char* name, const char* table, const char* key, std::int32_t x, std::int32_t y,
                    std::int32_t width, std::int32_t height, bool present = true) {
    data::Sprite s;
    s.name = name;
    s.table = table;
    s.cache_key = key;
    s.present = present;
    s.x = static_cast<std::uint32_t>(x);
    s.y = static_cast<std::uint32_t>(y);
    s.width = static_cast<std::uint32_t>(width);
    s.height = static_cast<std::uint32_t>(height);
    return s;
}

UiSheets collect(const std::vector<data::Sprite>& sprites, bool all_tables) {
    return collect_ui_sheets(sprites, all_tables, [](const std::string& key) {
        return key == "hud.texcache" ? UiSheetInfo{64, 32, 6} : UiSheetInfo{16, 16, 1};
    });
}

TEST(CollectUiSheets, TablesSheetsAndRectangles) {
    const char* hud = "dbsprite_hud_packed.csv";
    const char* cursor = "dbsprite_cursor_packed.csv";
    const std::vector<data::Sprite> sprites = {
        sprite("shadow", hud, "hud.texcache", -2, 3, 10, 5),
        sprite("top", cursor, "hud.texcache", 0, -4, 64, 12),   // a skipped table on a used sheet
        sprite("gone", hud, "hud.texcache", -10, 0, 10, 5),     // wholly left of the sheet
        sprite("flat", hud, "hud.texcache", 0, 0, 0, 5),        // empty
        sprite("edge", hud, "hud.texcache", 60, 30, 10, 10),    // cut at the right and bottom
        sprite("outside", hud, "hud.texcache", 64, 0, 10, 10),  // beyond the right edge
        sprite("twice", hud, "hud.texcache", -2, 3, 10, 5),     // same rectangle as shadow
        sprite("inner", hud, "hud.texcache", 1, 1, 4, 4),       // inside top
        sprite("odd", hud, "hud.tga", 0, 0, 4, 4),              // not a texture key
        sprite("arrow", cursor, "cursors.texcache", 0, 0, 16, 16),
        sprite("old", hud, "old.texcache", 0, 0, 16, 16, false),
    };
    const UiSheets hud_only = collect(sprites, false);
    EXPECT_EQ(hud_only.skipped, std::set<std::string>{cursor});
    ASSERT_EQ(hud_only.tables.size(), 2u);
    EXPECT_EQ(hud_only.tables.at(hud).sprites, 9);
    EXPECT_EQ(hud_only.tables.at(hud).with_texture, 8);
    EXPECT_EQ(hud_only.tables.at(cursor).sprites, 2);
    ASSERT_EQ(hud_only.sheets.size(), 1u);
    const UiSheet& sheet = hud_only.sheets.at("hud");
    EXPECT_EQ(sheet.texture, "hud.texcache");
    EXPECT_EQ(sheet.tables, (std::set<std::string>{cursor, hud}));
    EXPECT_EQ(sheet.sprites, (std::vector<std::string>{"shadow", "top", "edge", "outside", "twice", "inner"}));
    EXPECT_EQ(sheet.width, 64u);
    EXPECT_EQ(sheet.format, 6u);
    ASSERT_EQ(sheet.rects.size(), 6u);
    EXPECT_TRUE((sheet.rects[0] == PixelRect{0, 3, 8, 5}));
    EXPECT_TRUE((sheet.rects[1] == PixelRect{0, 0, 64, 8}));
    // shadow lies inside top, as inner does; twice is shadow again.
    const std::vector<PixelRect> distinct = {{0, 0, 64, 8}, {60, 30, 4, 2}};
    ASSERT_EQ(sheet.distinct_rects.size(), distinct.size());
    for (std::size_t i = 0; i < distinct.size(); ++i) EXPECT_TRUE(sheet.distinct_rects[i] == distinct[i]) << i;
    EXPECT_EQ(sheet.contained, 2u);

    const UiSheets all = collect(sprites, true);
    EXPECT_TRUE(all.skipped.empty());
    EXPECT_EQ(all.sheets.size(), 2u);
    EXPECT_EQ(all.sheets.at("cursors").rects.size(), 1u);
}

TEST(CollectUiSheets, DistinctRectanglesKeepTheEarlierOfEqualAreaAndDropOnlyWhollyInside) {
    std::size_t contained = 9;
    const std::vector<PixelRect> kept =
        distinct_rectangles({{0, 0, 4, 4}, {4, 0, 4, 4}, {3, 0, 2, 2}, {4, 0, 4, 4}, {5, 1, 3, 3}}, 8, 8, contained);
    EXPECT_EQ(contained, 1u);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_TRUE((kept[0] == PixelRect{0, 0, 4, 4}));
    EXPECT_TRUE((kept[1] == PixelRect{4, 0, 4, 4}));
    EXPECT_TRUE((kept[2] == PixelRect{3, 0, 2, 2}));
}

}  // namespace
}  // namespace tarkeep::upscale
