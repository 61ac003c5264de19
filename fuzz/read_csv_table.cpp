// CSV tables and sprite tables from untrusted bytes: never fail, rows always have the
// shape the header asks for.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "data/csv_table.h"
#include "data/sprite_tables.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarkeep::data;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const CsvTable table = read_csv_table(text);
    for (const DdfValue& row : table.rows) {
        if (row.kind != (table.columns ? DdfKind::block : DdfKind::list)) __builtin_trap();
        if (!row.truthy()) __builtin_trap();
    }
    for (const auto& cells : read_sprite_rows(text)) {
        Sprite sprite;
        if (sprite_from_row(cells, sprite) && sprite.cache_key.size() < 9) __builtin_trap();
        parse_texture_flags(cells.front());
    }
    return 0;
}
