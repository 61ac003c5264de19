// --ui-list: the sprite tables, the sheets the HUD draws and their rectangles.
#include <algorithm>
#include <cstdio>
#include <map>

#include "data/game_archives.h"
#include "data/game_db.h"
#include "data/texture/dxt.h"
#include "tools/upscale/open_game.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/ui_sheets.h"

namespace tarkeep::upscale {

namespace {

std::string joined(const std::set<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ",") + name;
    return text;
}

}  // namespace

int cmd_ui_list(const Args& args) {
    const std::filesystem::path morv_dir = args.path(0);
    const data::GameDb db(morv_dir / "zips" / "db.zip");
    const data::GameArchives archives = open_game_archives(morv_dir);
    const UiSheets collected = collect_ui_sheets(db, archives, args.flag("--all-tables"));
    for (const auto& [table, count] : collected.tables)
        std::printf("table %s: %d sprites, %d with texture%s\n", table.c_str(), count.sprites, count.with_texture,
                    collected.skipped.count(table) ? " (skipped)" : "");
    std::map<std::string, int> formats;
    std::size_t rect_count = 0;
    double rect_pixels = 0, sheet_pixels = 0;
    for (const auto& [stem, sheet] : collected.sheets) {
        std::uint32_t largest = 0;
        for (const image::PixelRect& r : sheet.distinct_rects) {
            largest = std::max({largest, r.width, r.height});
            rect_pixels += static_cast<double>(r.width) * r.height;
        }
        if (args.flag("--verbose"))
            std::printf("%s %ux%u %s sprites %zu rects %zu (+%zu contained) max rect %u tables %s\n", stem.c_str(),
                        sheet.width, sheet.height, data::format_name(sheet.format).c_str(), sheet.sprites.size(),
                        sheet.distinct_rects.size(), sheet.contained, largest, joined(sheet.tables).c_str());
        ++formats[data::format_name(sheet.format)];
        rect_count += sheet.distinct_rects.size();
        sheet_pixels += static_cast<double>(sheet.width) * sheet.height;
    }
    std::printf("%zu sheets, %zu distinct rects (%.1f Mpx), sheets %.1f Mpx; formats:", collected.sheets.size(),
                rect_count, rect_pixels / 1e6, sheet_pixels / 1e6);
    for (const auto& [name, count] : formats) std::printf(" %s:%d", name.c_str(), count);
    std::printf("\n");
    return 0;
}

}  // namespace tarkeep::upscale
