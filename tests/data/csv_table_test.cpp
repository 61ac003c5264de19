// CSV tables: finding the header comment, quoting, line breaks in cells and column names.
#include <gtest/gtest.h>

#include <tuple>

#include <optional>
#include <string>
#include <vector>

#include "data/csv_table.h"
#include "ddf_show.h"

namespace tarkeep::data {
namespace {

using Columns = std::vector<std::string>;

TEST(CsvTable, HeadersRowsQuotingLineBreaksAndColumnNames) {
    const std::tuple<const char*, const char*, std::optional<Columns>> headers[] = {
        {"names are stripped, tie keeps the first", "// Terrain Type, High detail texture, -x\n//a, b\nv\n",
         Columns{"Terrain Type", "High detail texture", "-x"}},
        {"strictly higher count replaces", "//a,b\n//c,d,e\nv\n", Columns{"c", "d", "e"}},
        {"one name is no header", "//a,-b, ,\nv\n", std::nullopt},
        {"comment without comma is passed over", "// notes\n///a , b\nv\n", Columns{"a", "b"}},
        {"blank lines are passed over", "\n  \n//a,b\nv\n", Columns{"a", "b"}},
        {"a data line ends the walk", "v\n//a,b\n", std::nullopt},
        {"empty pieces are kept as names", "//a,,b\n", Columns{"a", "", "b"}}};
    for (const auto& [name, text, columns] : headers) EXPECT_EQ(read_csv_table(text).columns, columns) << name;
    const std::tuple<const char*, std::string, const char*> cases[] = {
        {"cell conversion", "12, 1.5f,stone,,\"7\"\n", "[12, 1.5f, 'stone', none, 7]\n"},
        {"bracket lists", "[a\240b  c],[],[x, [ 1 2.5 ]\n", "[['a', 'b', 'c'], [], '[x', [1, 2.5f]]\n"},
        {"quoted comma and line feed", "\"a,b\",\"c\nd\",e\n", "['a,b', 'c\nd', 'e']\n"},
        {"doubled quote", "\"say \"\"hi\"\"\",x\n", "['say \"hi\"', 'x']\n"},
        {"text after a closing quote continues unquoted", "\"ab\"cd,e\n", "['abcd', 'e']\n"},
        {"quote inside an unquoted field is kept", "ab\"c,d\n", "['ab\"c', 'd']\n"},
        {"unclosed quote runs to the end", "a,\"b,c\nd", "['a', 'b,c\nd']\n"},
        {"rows of only blanks are dropped", " , ,\n\n,\nx\n", "['x']\n"},
        {"comments between data lines are dropped", "a\n// b,c\n  // d\ne", "['a']\n['e']\n"},
        {"every line break kind", std::string("a\rb\r\nc\vd\fe\034f\035g\036h\205i"),
         "['a']\n['b']\n['c']\n['d']\n['e']\n['f']\n['g']\n['h']\n['i']\n"},
        {"0x1f and 0xa0 are whitespace, not breaks", std::string("a\037\240b"), "['a\037\240b']\n"},
        {"named columns", "// Name, Size\nA, 1\n", "{Name: 'A', Size: 1}\n"},
        {"extra values get col names", "//a,b,c\n1,2,3,4,5\n", "{a: 1, b: 2, c: 3, col3: 4, col4: 5}\n"},
        {"empty names become col", "//a,,b\n1,2,3\n", "{a: 1, col1: 2, b: 3}\n"},
        {"repeated name keeps first position, later value", "//a,b,a\n1,2,3\n", "{a: 3, b: 2}\n"},
        {"generated name meets a real one", "//col1,b\n1,2,3\n", "{col1: 1, b: 2, col2: 3}\n"}};
    for (const auto& [name, text, expected] : cases) {
        std::string rows;
        for (const DdfValue& row : read_csv_table(text).rows) rows += test::show(row) + "\n";
        EXPECT_EQ(rows, expected) << name;
    }
    using Records = std::vector<std::vector<std::string>>;
    const std::pair<const char*, Records> records[] = {
        {"a,b", {{"a", "b"}}}, {"a,", {{"a", ""}}}, {"\n\na", {{}, {}, {"a"}}}, {"", {}},
        {"\"", {{""}}},        {"\"\"", {{""}}}};
    for (const auto& [text, expected] : records) EXPECT_EQ(parse_csv_records(text), expected) << text;
}

}  // namespace
}  // namespace tarkeep::data
