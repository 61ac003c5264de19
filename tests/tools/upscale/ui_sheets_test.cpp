#include "tools/upscale/ui_sheets.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tarkeep::upscale {
namespace {

// Tiling is checked through the sprite runs (their network inputs and pixels).
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

// A sheet's cache file is named after it: "con.png" would open a device on Windows.
TEST(CollectUiSheets, ASheetNamedLikeADeviceFailsAlone) {
    std::vector<data::Sprite> sprites(2);
    for (std::size_t i = 0; i < 2; ++i)
        sprites[i] = {"s", "hud.csv", "", i ? "con.texcache" : "panel.texcache", true, 0, 0, 8, 8};
    const UiSheets sheets = collect_ui_sheets(sprites, false, [](const std::string&) {
        return UiSheetInfo{8, 8, 0, {}};
    });
    EXPECT_EQ(std::tuple(sheets.sheets.at("panel").problem, sheets.sheets.at("con").problem),
              std::tuple("", "sheet name is a Windows device name"));
}

}  // namespace
}  // namespace tarkeep::upscale
