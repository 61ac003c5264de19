// UI sheet classification and tiling (the sheets themselves are checked through the --ui-list report).
#include <gtest/gtest.h>

#include <sstream>

#include "tools/upscale/ui_sheets.h"

namespace tarkeep::upscale {
namespace {

// x, width of the core, x, width of the input: enough to compare tiles in one line.
std::vector<std::array<std::uint32_t, 4>> columns(const std::vector<UiTile>& tiles) {
    std::vector<std::array<std::uint32_t, 4>> values;
    for (const UiTile& t : tiles) values.push_back({t.core.x, t.core.width, t.input.x, t.input.width});
    return values;
}
using Columns = std::vector<std::array<std::uint32_t, 4>>;

TEST(SplitTiles, SegmentsPerAxis) {
    EXPECT_EQ(columns(split_tiles(1200, 100, 8, 512)),
              (Columns{{0, 400, 0, 440}, {400, 400, 376, 464}, {800, 400, 776, 440}}));
    EXPECT_EQ(columns(split_tiles(5000, 9000, 8, 0)), (Columns{{0, 5000, 0, 5016}}));
    EXPECT_EQ(columns(split_tiles(496, 496, 8, 512)), (Columns{{0, 496, 0, 512}}));
    const std::vector<UiTile> grid = split_tiles(497, 497, 8, 512);  // one pixel too many: 2 x 2, rows outer
    ASSERT_EQ(grid.size(), 4u);
    EXPECT_TRUE(grid[1].core.x == 248 && grid[1].core.y == 0 && grid[2].core.y == 248 && grid[2].input.height == 289);
}

TEST(ClassifyUiSheet, FirstMatchingRule) {
    // stem, table, largest rectangle side (0: no rectangles), class
    for (const char* row :
         {"button_big hud 200 icon", "hud_frame hud 81 panel", "hud_frame hud 80 icon", "icon_big hud 300 icon",
          "big_icon_ hud 300 panel", "top_but_x hud 300 icon", "resources hud 300 icon", "the_crown hud 300 icon",
          "panel hud 0 icon", "a unitIcons 300 icon", "b techtree 300 icon", "c uianim 300 icon",
          "d unitActions 300 icon"}) {
        std::istringstream in(row);
        UiSheet sheet;
        std::string table, expected;
        std::uint32_t side = 0;
        in >> sheet.stem >> table >> side >> expected;
        sheet.tables = {"dbsprite_" + table + "_packed.csv"};
        if (side > 0) sheet.rects = {{0, 0, 10, side}, {0, 0, side - 1, 5}};
        EXPECT_EQ(classify_ui_sheet(sheet), expected) << row;
    }
}

}  // namespace
}  // namespace tarkeep::upscale
