// The comma-separated tables of the game database, read into named columns or plain rows.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/ddf_value.h"

namespace tarkeep::data {

// A comma-separated table of the game database.
struct CsvTable {
    // Column names from the header comment; absent when the file has none.
    std::optional<std::vector<std::string>> columns;
    // One value per non-empty record: a block of column name -> cell when `columns` is
    // present, otherwise a list of cells.
    std::vector<DdfValue> rows;
};

CsvTable read_csv_table(std::string_view text);

// A cell as a value: empty -> none, "[a b]" -> list of atoms, otherwise an atom.
DdfValue convert_csv_cell(std::string_view cell);

// The raw records of CSV text (double-quote quoting, unclosed quotes forgiven). A record
// may be empty.
std::vector<std::vector<std::string>> parse_csv_records(std::string_view text);

}  // namespace tarkeep::data
