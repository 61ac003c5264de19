// Sheet collection, classification and tiling of the UI sheet pipeline.
#include "tools/upscale/ui_sheets.h"

#include <algorithm>

#include "data/game_archives.h"
#include "data/game_file_names.h"
#include "data/texture/texcache.h"
#include "tools/upscale/cache_keys.h"

namespace tarkeep::upscale {
namespace {

constexpr const char* kNonHudTables[] = {"dbsprite_cursor_packed.csv", "dbsprite_uifrontend_packed.csv",
                                         "dbsprite_uiscenedit_packed.csv"};
constexpr const char* kIconTables[] = {"dbsprite_unitIcons_packed.csv", "dbsprite_unitActions_packed.csv",
                                       "dbsprite_techtree_packed.csv", "dbsprite_uianim_packed.csv"};
constexpr const char* kIconWords[] = {"button", "_but_", "resources", "crown"};

// The tables keep rectangle values as signed numbers stored unsigned.
std::int64_t as_signed(std::uint32_t value) { return static_cast<std::int32_t>(value); }

struct Segment {
    std::uint32_t core_start, core_end, input_start, input_end;
};

std::vector<Segment> split_axis(std::uint32_t length, std::uint32_t margin, std::uint32_t tile_max) {
    const std::uint64_t padded = std::uint64_t{length} + 2ull * margin;
    if (tile_max == 0 || padded <= tile_max) return {{0, length, 0, static_cast<std::uint32_t>(padded)}};
    // Small tile maxima keep the core at 16 pixels and shrink the overlap so that no
    // input grows past the maximum; below 16 the whole tile is core.
    std::uint64_t usable = 0, overlap = kUiTileOverlap;
    if (tile_max > 80) {
        usable = tile_max - 2 * kUiTileOverlap;
    } else {
        usable = std::min<std::uint32_t>(16, tile_max);
        overlap = (tile_max - usable) / 2;
    }
    const std::uint64_t n = (length + usable - 1) / usable;
    std::vector<Segment> segments;
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint64_t start = i * length / n, end = (i + 1) * length / n;
        const std::uint64_t in_start = margin + start > overlap ? margin + start - overlap : 0;
        const std::uint64_t in_end = std::min(margin + end + overlap, padded);
        segments.push_back({static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end),
                            static_cast<std::uint32_t>(in_start), static_cast<std::uint32_t>(in_end)});
    }
    return segments;
}

}  // namespace

bool is_non_hud_table(const std::string& table) {
    return std::find(std::begin(kNonHudTables), std::end(kNonHudTables), table) != std::end(kNonHudTables);
}

std::vector<image::PixelRect> distinct_rectangles(const std::vector<image::PixelRect>& rects, std::uint32_t width,
                                                  std::uint32_t height, std::size_t& contained) {
    std::vector<image::PixelRect> clipped;
    for (image::PixelRect r : rects) {
        if (r.x >= width || r.y >= height) continue;
        r.width = std::min(r.width, width - r.x);
        r.height = std::min(r.height, height - r.y);
        const bool seen = std::any_of(clipped.begin(), clipped.end(), [&](const image::PixelRect& k) {
            return k.x == r.x && k.y == r.y && k.width == r.width && k.height == r.height;
        });
        if (!seen) clipped.push_back(r);
    }
    const auto area = [](const image::PixelRect& r) { return std::uint64_t{r.width} * r.height; };
    std::stable_sort(clipped.begin(), clipped.end(),
                     [&](const image::PixelRect& a, const image::PixelRect& b) { return area(a) > area(b); });
    std::vector<image::PixelRect> kept;
    contained = 0;
    for (const image::PixelRect& r : clipped) {
        const bool inside = std::any_of(kept.begin(), kept.end(), [&](const image::PixelRect& k) {
            return r.x >= k.x && r.y >= k.y && std::uint64_t{r.x} + r.width <= std::uint64_t{k.x} + k.width &&
                   std::uint64_t{r.y} + r.height <= std::uint64_t{k.y} + k.height;
        });
        if (inside) {
            ++contained;
        } else {
            kept.push_back(r);
        }
    }
    return kept;
}

UiSheets collect_ui_sheets(const std::vector<data::Sprite>& sprites, bool all_tables,
                           const std::function<UiSheetInfo(const std::string&)>& read_sheet) {
    UiSheets result;
    std::set<std::string> used;
    for (const data::Sprite& sprite : sprites) {
        UiTableCount& count = result.tables[sprite.table];
        ++count.sprites;
        if (sprite.present) ++count.with_texture;
        if (!all_tables && is_non_hud_table(sprite.table)) {
            result.skipped.insert(sprite.table);
        } else if (sprite.present) {
            used.insert(sprite.cache_key);
        } else if (data::has_suffix(sprite.cache_key, data::kTextureSuffix)) {
            result.missing.insert(std::string(data::without_suffix(sprite.cache_key, data::kTextureSuffix)));
        }
    }
    for (const data::Sprite& sprite : sprites) {
        const std::int64_t x = as_signed(sprite.x), y = as_signed(sprite.y);
        const std::int64_t w = as_signed(sprite.width), h = as_signed(sprite.height);
        if (!used.count(sprite.cache_key) || w <= 0 || h <= 0 || x + w <= 0 || y + h <= 0 ||
            !data::has_suffix(sprite.cache_key, data::kTextureSuffix))
            continue;
        const std::string stem(data::without_suffix(sprite.cache_key, data::kTextureSuffix));
        UiSheet& sheet = result.sheets[stem];
        sheet.stem = stem;
        sheet.texture = sprite.cache_key;
        sheet.tables.insert(sprite.table);
        sheet.sprites.push_back(sprite.name);
        sheet.rects.push_back({static_cast<std::uint32_t>(std::max<std::int64_t>(0, x)),
                               static_cast<std::uint32_t>(std::max<std::int64_t>(0, y)),
                               static_cast<std::uint32_t>(w + std::min<std::int64_t>(0, x)),
                               static_cast<std::uint32_t>(h + std::min<std::int64_t>(0, y))});
    }
    for (auto& [stem, sheet] : result.sheets) {
        const UiSheetInfo info = read_sheet(sheet.texture);
        sheet.width = info.width;
        sheet.height = info.height;
        sheet.format = info.format;
        sheet.problem = info.problem;
        // Its cache file is named after it: a name Windows cannot take fails this sheet alone.
        if (const std::string bad = stem_problem(stem); !bad.empty()) sheet.problem = "sheet name " + bad;
        sheet.distinct_rects = distinct_rectangles(sheet.rects, sheet.width, sheet.height, sheet.contained);
    }
    return result;
}

UiSheets collect_ui_sheets(const data::GameDb& db, const data::GameArchives& archives, bool all_tables) {
    const data::SpriteDb tables = data::load_sprite_tables(db, &archives);
    return collect_ui_sheets(tables.sprites, all_tables, [&](const std::string& key) {
        UiSheetInfo info;
        try {
            const data::TexcacheFile file = data::read_texcache(archives.read(key));
            info.format = file.format;
            if (!file.mipmaps.empty()) {
                info.width = file.mipmaps[0].width;
                info.height = file.mipmaps[0].height;
            }
        } catch (const std::exception& error) {
            info.problem = error.what();
        }
        return info;
    });
}

std::string classify_ui_sheet(const UiSheet& sheet) {
    for (const char* table : kIconTables) {
        if (sheet.tables.count(table)) return "icon";
    }
    if (sheet.stem.rfind("icon_", 0) == 0) return "icon";
    for (const char* word : kIconWords) {
        if (sheet.stem.find(word) != std::string::npos) return "icon";
    }
    std::uint32_t largest = 0;
    for (const image::PixelRect& r : sheet.rects) largest = std::max({largest, r.width, r.height});
    return largest < 81 ? "icon" : "panel";
}

std::vector<UiTile> split_tiles(std::uint32_t width, std::uint32_t height, std::uint32_t margin,
                                std::uint32_t tile_max) {
    const std::vector<Segment> columns = split_axis(width, margin, tile_max);
    const std::vector<Segment> rows = split_axis(height, margin, tile_max);
    std::vector<UiTile> tiles;
    for (const Segment& r : rows) {
        for (const Segment& c : columns) {
            tiles.push_back({{c.core_start, r.core_start, c.core_end - c.core_start, r.core_end - r.core_start},
                             {c.input_start, r.input_start, c.input_end - c.input_start, r.input_end - r.input_start}});
        }
    }
    return tiles;
}

}  // namespace tarkeep::upscale
