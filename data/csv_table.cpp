// Reading CSV tables: quoted records, the header found among the leading comments, and cells as values.
#include "data/csv_table.h"

#include "data/ddf_atom.h"
#include "data/text_lines.h"

namespace tarkeep::data {
namespace {

bool is_comment(std::string_view stripped) { return stripped.starts_with("//"); }

// A header piece that can be a column name: not empty and not a "-" remark. Names with
// inner spaces count ("Terrain Type" is one of the columns the terrain tables need).
bool is_name_like(std::string_view piece) { return !piece.empty() && piece[0] != '-'; }

// The header is the comment line with the most name-like pieces (at least two) among
// the comments above the first data line; the first such line wins a tie.
std::optional<std::vector<std::string>> find_header(const std::vector<std::string_view>& lines) {
    std::optional<std::vector<std::string>> columns;
    std::size_t best = 1;
    for (std::string_view line : lines) {
        const std::string_view stripped = strip_text_space(line);
        if (stripped.empty()) continue;
        if (!is_comment(stripped)) break;
        if (stripped.find(',') == std::string_view::npos) continue;
        const std::string_view body = stripped.substr(stripped.find_first_not_of('/'));
        std::vector<std::string> pieces;
        std::size_t count = 0;
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = body.find(',', start);
            const std::string_view piece =
                strip_text_space(body.substr(start, comma == std::string_view::npos ? body.npos : comma - start));
            if (is_name_like(piece)) ++count;
            pieces.emplace_back(piece);
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
        if (count > best) {
            best = count;
            columns = std::move(pieces);
        }
    }
    return columns;
}

std::string data_text(const std::vector<std::string_view>& lines) {
    std::string text;
    bool first = true;
    for (std::string_view line : lines) {
        const std::string_view stripped = strip_text_space(line);
        if (stripped.empty() || is_comment(stripped)) continue;
        if (!first) text += '\n';
        text += line;
        first = false;
    }
    return text;
}

DdfValue make_row(const std::vector<std::string>& cells, const std::optional<std::vector<std::string>>& columns) {
    std::vector<DdfValue> values;
    values.reserve(cells.size());
    for (const std::string& cell : cells) values.push_back(convert_csv_cell(cell));
    if (!columns) return DdfValue::list(std::move(values));
    DdfValue row = DdfValue::block();
    for (std::size_t i = 0; i < values.size(); ++i) {
        const bool named = i < columns->size() && !(*columns)[i].empty();
        row.set(named ? (*columns)[i] : "col" + std::to_string(i), std::move(values[i]));
    }
    return row;
}

bool has_content(const std::vector<std::string>& cells) {
    for (const std::string& cell : cells) {
        if (!strip_text_space(cell).empty()) return true;
    }
    return false;
}

}  // namespace

std::vector<std::vector<std::string>> parse_csv_records(std::string_view text) {
    enum class State { record_start, field_start, unquoted, quoted, after_quote };
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    State state = State::record_start;

    auto end_field = [&] {
        record.push_back(std::move(field));
        field.clear();
    };
    auto end_record = [&] {
        records.push_back(std::move(record));
        record.clear();
        state = State::record_start;
    };

    // One pass over the text plus a final line feed for its end.
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const bool at_end = i == text.size();
        const char c = at_end ? '\n' : text[i];
        switch (state) {
            case State::record_start:
                if (at_end) break;
                if (c == '\n') {
                    end_record();
                    break;
                }
                state = State::field_start;
                [[fallthrough]];
            case State::field_start:
                if (c == '"') {
                    state = State::quoted;
                } else if (c == ',') {
                    end_field();
                } else if (c == '\n') {
                    end_field();
                    end_record();
                } else {
                    field += c;
                    state = State::unquoted;
                }
                break;
            case State::unquoted:
                if (c == ',') {
                    end_field();
                    state = State::field_start;
                } else if (c == '\n') {
                    end_field();
                    end_record();
                } else {
                    field += c;
                }
                break;
            case State::quoted:
                if (at_end) {
                    end_field();
                    end_record();
                } else if (c == '"') {
                    state = State::after_quote;
                } else {
                    field += c;
                }
                break;
            case State::after_quote:
                if (c == '"') {
                    field += '"';
                    state = State::quoted;
                } else if (c == ',') {
                    end_field();
                    state = State::field_start;
                } else if (c == '\n') {
                    end_field();
                    end_record();
                } else {
                    field += c;
                    state = State::unquoted;
                }
                break;
        }
    }
    return records;
}

DdfValue convert_csv_cell(std::string_view cell) {
    const std::string_view text = strip_text_space(cell);
    if (text.empty()) return DdfValue::none();
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
        DdfValue list = DdfValue::list();
        for (std::string_view word : split_words(text.substr(1, text.size() - 2))) {
            list.items.push_back(convert_atom(word));
        }
        return list;
    }
    return convert_atom(text);
}

CsvTable read_csv_table(std::string_view text) {
    const std::vector<std::string_view> lines = split_lines(text);
    CsvTable table;
    table.columns = find_header(lines);
    for (const auto& cells : parse_csv_records(data_text(lines))) {
        if (has_content(cells)) table.rows.push_back(make_row(cells, table.columns));
    }
    return table;
}

}  // namespace tarkeep::data
