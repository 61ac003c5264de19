// UI sprite sheets: which sheets the HUD draws, their sprite rectangles, their class and
// the tiles a rectangle is cut into for the network.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "data/sprite_tables.h"
#include "image/metrics.h"

namespace tarkeep::data {
class GameArchives;
class GameDb;
}  // namespace tarkeep::data

namespace tarkeep::upscale {

struct UiSheet {
    std::string stem;
    std::string texture;  // "<stem>.texcache"
    std::set<std::string> tables;
    std::vector<std::string> sprites;     // in load order
    std::vector<image::PixelRect> rects;  // clipped at the left and top edges only
    std::uint32_t width = 0;              // of mip 0
    std::uint32_t height = 0;
    std::uint32_t format = 0;
    std::vector<image::PixelRect>
        distinct_rects;         // inside the sheet, no duplicates, none inside another; largest first
    std::size_t contained = 0;  // rectangles dropped for lying inside another
    std::string problem;        // why the sheet's texture cannot be read; empty when it can
};

struct UiTableCount {
    int sprites = 0;
    int with_texture = 0;  // sprites whose sheet is in the archives
};

struct UiSheets {
    std::map<std::string, UiSheet> sheets;
    std::map<std::string, UiTableCount> tables;
    std::set<std::string> skipped;
    std::set<std::string> missing;  // stems of sheets the included tables name but the archives lack
};

// Size and pixel format of a sheet's mip 0.
struct UiSheetInfo {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t format = 0;
    std::string problem;  // a damaged sheet fails alone, in the build
};

// The tables that the in-game HUD never draws; skipped unless every table is asked for.
bool is_non_hud_table(const std::string& table);

// Collects the sheets that the included tables draw from. `read_sheet` gives the size of a
// sheet by its cache key.
UiSheets collect_ui_sheets(const std::vector<data::Sprite>& sprites, bool all_tables,
                           const std::function<UiSheetInfo(const std::string&)>& read_sheet);
UiSheets collect_ui_sheets(const data::GameDb& db, const data::GameArchives& archives, bool all_tables);

// Clips to the sheet, drops duplicates and rectangles inside a larger one (counted in
// `contained`), largest area first.
std::vector<image::PixelRect> distinct_rectangles(const std::vector<image::PixelRect>& rects, std::uint32_t width,
                                                  std::uint32_t height, std::size_t& contained);

// "icon" or "panel": which network model suits the sheet.
std::string classify_ui_sheet(const UiSheet& sheet);

// One network input of a pass: the core it contributes, in pass pixels, and the input
// rectangle around it, in the pass padded by the margin on every side.
struct UiTile {
    image::PixelRect core;
    image::PixelRect input;
};

inline constexpr std::uint32_t kUiTileOverlap = 32;

// Cuts a pass into tiles whose inputs are at most `tile_max` pixels a side (0: one tile),
// overlapping their neighbours; rows of tiles from top to bottom.
std::vector<UiTile> split_tiles(std::uint32_t width, std::uint32_t height, std::uint32_t margin,
                                std::uint32_t tile_max);

}  // namespace tarkeep::upscale
