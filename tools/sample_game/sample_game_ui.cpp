#include <algorithm>
#include <cmath>

#include "tools/sample_game/sample_game_parts.h"
#include "data/texture/texcache_writer.h"

namespace tarkeep::sample_game::parts {

using data::dxt_texcache;
using data::texcache_fields;
using data::TexcacheFields;
using data::write_texcache;
namespace {

constexpr std::uint32_t kDxt5 = 6;

constexpr const char* kIconNames[16] = {
    "icon_footman", "icon_archer", "icon_knight", "icon_catapult", "icon_herald", "icon_peasant",
    "icon_tower",   "icon_wall",   "act_move",    "act_attack",    "act_stop",    "act_guard",
    "act_patrol",   "act_build",   "act_repair",  "act_formation",
};

void put(std::vector<std::uint8_t>& rgba, std::uint32_t width, std::uint32_t x, std::uint32_t y, double r, double g,
         double b, double a) {
    std::uint8_t* pixel = rgba.data() + (std::size_t{y} * width + x) * 4;
    pixel[0] = to_byte(r);
    pixel[1] = to_byte(g);
    pixel[2] = to_byte(b);
    pixel[3] = to_byte(a);
}

// A 4 x 4 grid of round icons on a transparent sheet, each with its own hue and a
// bright rim.
std::vector<std::uint8_t> icon_sheet(const UiLayout& layout, std::uint64_t seed) {
    const std::uint32_t side = layout.icon_sheet, cell = layout.icon_cell;
    std::vector<std::uint8_t> rgba(std::size_t{side} * side * 4, 0);
    for (std::uint32_t y = 0; y < side; ++y) {
        for (std::uint32_t x = 0; x < side; ++x) {
            const std::uint32_t index = (y / cell) * 4 + x / cell;
            const double cx = (x % cell + 0.5) / cell - 0.5, cy = (y % cell + 0.5) / cell - 0.5;
            const double radius = std::hypot(cx, cy);
            const double hue = hash_unit(seed, index, 0);
            const double r = 90 + 150 * hue, g = 200 - 120 * hue, b = 80 + 100 * hash_unit(seed, index, 1);
            const double shade = 0.7 + 0.6 * (0.5 - cy) * 0.6;
            const double alpha = std::clamp((0.46 - radius) * cell, 0.0, 1.0) * 255;
            if (radius > 0.38) {
                put(rgba, side, x, y, 235, 215, 140, alpha);  // rim
            } else {
                const double symbol = std::abs(cx) < 0.06 || std::abs(cy - 0.04 * (index % 3)) < 0.05 ? 0.5 : 1.0;
                put(rgba, side, x, y, r * shade * symbol, g * shade * symbol, b * shade * symbol, alpha);
            }
        }
    }
    return rgba;
}

// A panel with bevelled stone borders, a wooden inner area and a half-transparent
// window for the minimap.
std::vector<std::uint8_t> hud_sheet(const UiLayout& layout, std::uint64_t seed) {
    const std::uint32_t width = layout.hud_width, height = layout.hud_height;
    const auto stone = tileable_texture(TerrainMaterial::rock, width, height, seed);
    const auto wood = tileable_texture(TerrainMaterial::leaves, width, height, seed + 1);
    std::vector<std::uint8_t> rgba(std::size_t{width} * height * 4);
    const std::uint32_t border = std::max(4u, height / 16);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::size_t at = (std::size_t{y} * width + x) * 4;
            const std::uint32_t edge = std::min({x, y, width - 1 - x, height - 1 - y});
            const bool in_border = edge < border;
            const bool in_window = x > width * 3 / 4 && y > height / 4 && y < height * 3 / 4;
            const std::uint8_t* source = in_border ? &stone[at] : &wood[at];
            const double bevel = in_border ? 1.25 - 0.5 * edge / border : 1.0;
            put(rgba, width, x, y, source[0] * bevel, source[1] * bevel, source[2] * bevel, in_window ? 96 : 255);
        }
    }
    return rgba;
}

std::vector<std::uint8_t> cursor_sheet(const UiLayout& layout) {
    const std::uint32_t cell = layout.cursor_cell, width = cell * 2;
    std::vector<std::uint8_t> rgba(std::size_t{width} * cell * 4, 0);
    for (std::uint32_t y = 0; y < cell; ++y) {
        for (std::uint32_t x = 0; x < cell; ++x) {
            if (x <= y && x + y / 2 < cell * 3 / 4) put(rgba, width, x, y, 240, 220, 120, 255);  // arrow
            const int dx = static_cast<int>(x) - static_cast<int>(cell / 2);
            const int dy = static_cast<int>(y) - static_cast<int>(cell / 2);
            if (std::abs(dx) < 2 || std::abs(dy) < 2) put(rgba, width, cell + x, y, 220, 40, 40, 255);  // cross
        }
    }
    return rgba;
}

// Two bevelled buttons side by side over a transparent strip, stored uncompressed.
std::vector<std::uint8_t> button_sheet(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> rgba(std::size_t{width} * height * 4, 0);
    for (std::uint32_t y = 0; y < height / 2; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t edge =
                std::min({x % (width / 2), width / 2 - 1 - x % (width / 2), y, height / 2 - 1 - y});
            const double light = edge < 2 ? 1.3 - 0.2 * edge : 0.8;
            put(rgba, width, x, y, 150 * light, 110 * light, 60 * light + 40 * (x >= width / 2), edge == 0 ? 160 : 255);
        }
    }
    return rgba;
}

std::vector<std::uint8_t> rgba_texcache(const std::vector<std::uint8_t>& rgba, std::uint32_t width,
                                        std::uint32_t height) {
    TexcacheFields fields = texcache_fields(1, {{width, height, rgba}});
    fields.masks[0] = 0xff;
    fields.masks[1] = 0xff00;
    fields.masks[2] = 0xff0000;
    fields.masks[3] = 0xff000000;
    fields.bits_per_pixel = 32;
    fields.bytes_per_pixel = 4;
    return write_texcache(fields);
}

}  // namespace

UiLayout ui_layout(SampleSize size) {
    UiLayout layout;
    if (size == SampleSize::small) {
        layout.hud_width = 128;
        layout.hud_height = 64;
    } else {
        layout.icon_cell = 64;
        layout.icon_sheet = 256;
        layout.hud_width = 512;
        layout.hud_height = 256;
    }
    return layout;
}

std::string sprite_tables_icons_text(const UiLayout& layout, bool actions) {
    std::string text = "// Name, Texture, X, Y, Width, Height, Flags\n";
    const std::uint32_t cell = layout.icon_cell;
    for (std::uint32_t i = actions ? 8 : 0; i < (actions ? 16u : 8u); ++i) {
        const std::string texture = i % 2 == 0 ? "ui\\Tex\\Icons_Units.TGA" : "UI/tex/icons_units.dds";
        text += std::string(kIconNames[i]) + ", " + texture + ", " + std::to_string(i % 4 * cell) + ", " +
                std::to_string(i / 4 * cell) + ", " + std::to_string(cell) + ", " + std::to_string(cell) +
                (i % 3 == 0 ? ", \"(mipmap|HasAlpha)\"\n" : ", hasalpha\n");
    }
    if (!actions) text += "icon_unknown, ui\\Tex\\Icons_Units.TGA, x, 0, 32, 32\n";  // skipped by readers
    return text;
}

std::string sprite_table_hud_text(const UiLayout& layout) {
    const std::uint32_t w = layout.hud_width, h = layout.hud_height;
    const auto n = [](std::uint32_t value) { return std::to_string(value); };
    std::string text = "// HUD panels\r\n// Name, Texture, X, Y, Width, Height, Flags\r\n\r\n";
    text += "hud_panel, ui\\tex\\Hud_Panel.tga, 0, 0, " + n(w) + ", " + n(h) + ", mipmap\r\n";
    text += "hud_frame_top, ui\\tex\\Hud_Panel.tga, 0, 0, " + n(w) + ", " + n(h / 8) + "\r\n";
    text += "hud_minimap, ui\\tex\\Hud_Panel.tga, " + n(w * 3 / 4) + ", " + n(h / 4) + ", " + n(w / 4) + ", " +
            n(h / 2) + ", (hasalpha)\r\n";
    text += "hud_shadow, ui\\tex\\Hud_Panel.tga, -2, 0, 34, 34, 0\r\n";
    text += "  hud_missing_sheet, ui\\tex\\Hud_Old.tga, 0, 0, 64, 64\r\n";
    // An uncompressed button strip whose last sprite runs past the sheet's right edge,
    // and a sheet too small to upscale.
    text += "btn_ok, ui\\tex\\Buttons_Main.tga, 0, 0, 48, 24\r\n";
    text += "btn_cancel, ui\\tex\\Buttons_Main.tga, 48, 0, 48, 24\r\n";
    text += "btn_wide, ui\\tex\\Buttons_Main.tga, 48, 24, 64, 24\r\n";
    text += "hud_pip, ui\\tex\\Hud_Pip.tga, 0, 0, 8, 4\r\n";
    return text;
}

std::string sprite_table_cursor_text(const UiLayout& layout) {
    const std::string cell = std::to_string(layout.cursor_cell);
    return "cursor_arrow, ui/tex/cursors.tga, 0, 0, " + cell + ", " + cell + ", hasalpha\n" +
           "cursor_attack, ui/tex/cursors.tga, " + cell + ", 0, " + cell + ", " + cell + ", hasalpha\n";
}

void add_ui_assets(SampleSize size, std::uint64_t seed, ArchiveSet& archives, SampleGameSummary& summary) {
    const UiLayout layout = ui_layout(size);
    std::vector<ArchiveFile>& ui = archives[kUiArchive];
    const std::uint64_t sheet_seed = mix64(seed ^ 0x5549);
    ui.push_back({"ui/tex/icons_units.texcache",
                  dxt_texcache(icon_sheet(layout, sheet_seed), layout.icon_sheet, layout.icon_sheet, kDxt5, true)});
    ui.push_back({"ui/tex/hud_panel.texcache",
                  dxt_texcache(hud_sheet(layout, sheet_seed + 1), layout.hud_width, layout.hud_height, kDxt5, true)});
    ui.push_back({"ui/tex/cursors.texcache",
                  dxt_texcache(cursor_sheet(layout), layout.cursor_cell * 2, layout.cursor_cell, kDxt5, false)});
    ui.push_back({"ui/tex/buttons_main.texcache", rgba_texcache(button_sheet(96, 48), 96, 48)});
    ui.push_back({"ui/tex/hud_pip.texcache", rgba_texcache(std::vector<std::uint8_t>(8 * 4 * 4, 200), 8, 4)});
    summary.ui_sheets = 5;
    summary.sprites = 16 + 9 + 2;  // rows with numeric rectangles, the missing-sheet row included
}

}  // namespace tarkeep::sample_game::parts
