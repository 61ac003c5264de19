// The UI sprite tables of the game database: named rectangles on sheet textures.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarkeep::data {

class GameArchives;
class GameDb;

// One row of a UI sprite table: a rectangle on a sheet texture.
struct Sprite {
    std::string name;
    std::string table;      // file name of the table, e.g. "dbsprite_unitIcons_packed.csv"
    std::string texture;    // the sheet path as written
    std::string cache_key;  // the sheet's file name in the archives, "<stem>.texcache"
    bool present = false;
    std::uint32_t x = 0, y = 0, width = 0, height = 0;  // signed 32-bit values stored unsigned
    std::uint32_t flags = 0;
    std::size_t index = 0;
};

struct SpriteDb {
    std::vector<Sprite> sprites;
    // Lower-cased sprite name -> index; a later row of the same name wins.
    std::unordered_map<std::string, std::size_t> by_name;
};

// Every UI/PackedSprites/*.csv table of the database, in name order. `present` is set
// from `archives` when given.
SpriteDb load_sprite_tables(const GameDb& db, const GameArchives* archives = nullptr);

// The rows of one sprite table text: cells split at ',' with double-quote quoting and
// stripped; comments, empty lines and rows without content dropped.
std::vector<std::vector<std::string>> read_sprite_rows(std::string_view text);

// A sprite row as a sprite (name, texture, rectangle, flags); false when it has fewer
// than six cells or a non-integer coordinate.
bool sprite_from_row(const std::vector<std::string>& cells, Sprite& sprite);

// "ui\Tex\Buttons.TGA" -> "buttons.texcache".
std::string sprite_cache_key(std::string_view texture);

// "(mipmap|HasAlpha)" -> 0x201; a plain decimal number is taken as it is.
std::uint32_t parse_texture_flags(std::string_view text);

}  // namespace tarkeep::data
