// Reading the UI sprite tables: quoted cells, sprite rows, texture flags and texture cache keys.
#include "data/sprite_tables.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "data/game_archives.h"
#include "data/game_db.h"
#include "data/game_file_names.h"
#include "data/text_lines.h"

namespace tarkeep::data {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A sign and decimal digits, clamped to the signed 32-bit range (accumulation stops
// growing at 2^40 so long inputs cannot overflow).
std::optional<std::int32_t> parse_int32(std::string_view text) {
    text = strip_c_space(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(), is_digit)) return std::nullopt;
    constexpr std::int64_t kCap = std::int64_t{1} << 40;
    std::int64_t value = 0;
    for (char c : text) value = std::min(value * 10 + (c - '0'), kCap);
    if (negative) value = -value;
    value = std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(value);
}

struct FlagName {
    std::string_view name;
    std::uint32_t bit;
};

constexpr FlagName kFlagNames[] = {
    {"mipmap", 0x1}, {"mirroru", 0x2}, {"mirrorv", 0x4}, {"clampu", 0x8},          {"clampv", 0x10},
    {"flipu", 0x20}, {"flipv", 0x40},  {"rotate", 0x80}, {"subtractalpha", 0x100}, {"hasalpha", 0x200},
};

std::vector<std::string> split_quoted_cells(std::string_view line) {
    std::vector<std::string> cells;
    std::string cell;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                cell += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (c == ',' && !quoted) {
            cells.emplace_back(strip_c_space(cell));
            cell.clear();
        } else {
            cell += c;
        }
    }
    cells.emplace_back(strip_c_space(cell));
    return cells;
}

std::vector<std::string> sprite_table_files(const GameDb& db) {
    const std::string prefix = ascii_lower(db.path("UI/PackedSprites/"));
    std::vector<std::string> files;
    for (const io::ZipEntry& entry : db.archive().entries()) {
        const std::string lower = ascii_lower(entry.name);
        if (lower.starts_with(prefix) && lower.find('/', prefix.size()) == std::string::npos &&
            lower.ends_with(".csv")) {
            files.push_back(entry.name);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

std::vector<std::vector<std::string>> read_sprite_rows(std::string_view text) {
    std::vector<std::vector<std::string>> rows;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r')) line.remove_suffix(1);
        line = strip_c_space(line);
        // Comments (and the header comment, which sprites do not use) carry no rows.
        if (line.empty() || line.starts_with("//")) continue;
        std::vector<std::string> cells = split_quoted_cells(line);
        if (std::any_of(cells.begin(), cells.end(), [](const std::string& c) { return !c.empty(); })) {
            rows.push_back(std::move(cells));
        }
    }
    return rows;
}

bool sprite_from_row(const std::vector<std::string>& cells, Sprite& sprite) {
    if (cells.size() < 6) return false;
    std::int32_t rect[4];
    for (int i = 0; i < 4; ++i) {
        const auto value = parse_int32(cells[2 + i]);
        if (!value) return false;
        rect[i] = *value;
    }
    sprite.name = cells[0];
    sprite.texture = cells[1];
    sprite.cache_key = sprite_cache_key(sprite.texture);
    sprite.x = static_cast<std::uint32_t>(rect[0]);
    sprite.y = static_cast<std::uint32_t>(rect[1]);
    sprite.width = static_cast<std::uint32_t>(rect[2]);
    sprite.height = static_cast<std::uint32_t>(rect[3]);
    sprite.flags = cells.size() > 6 ? parse_texture_flags(cells[6]) : 0;
    return true;
}

std::string sprite_cache_key(std::string_view texture) {
    std::string path(texture);
    std::replace(path.begin(), path.end(), '\\', '/');
    std::string name = ascii_lower(std::string_view(path).substr(path.rfind('/') + 1));
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos) name.resize(dot);
    return texture_file(name);
}

std::uint32_t parse_texture_flags(std::string_view text) {
    text = strip_chars(strip_c_space(text), "()");
    if (text.empty()) return 0;
    if (std::all_of(text.begin(), text.end(), is_digit)) {
        return static_cast<std::uint32_t>(*parse_int32(text));
    }
    std::uint32_t flags = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = text.find('|', start);
        const std::string name =
            ascii_lower(strip_c_space(text.substr(start, bar == text.npos ? text.npos : bar - start)));
        for (const FlagName& flag : kFlagNames) {
            if (flag.name == name) flags |= flag.bit;
        }
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    return flags;
}

SpriteDb load_sprite_tables(const GameDb& db, const GameArchives* archives) {
    SpriteDb result;
    for (const std::string& file : sprite_table_files(db)) {
        const std::string table = file.substr(file.rfind('/') + 1);
        for (const auto& cells : read_sprite_rows(db.read_text(file))) {
            Sprite sprite;
            if (!sprite_from_row(cells, sprite)) continue;
            sprite.table = table;
            sprite.index = result.sprites.size();
            result.by_name.insert_or_assign(ascii_lower(sprite.name), sprite.index);
            result.sprites.push_back(std::move(sprite));
        }
    }
    if (archives) {
        for (Sprite& sprite : result.sprites) sprite.present = archives->contains(sprite.cache_key);
    }
    return result;
}

}  // namespace tarkeep::data
