#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/csv_table.h"
#include "ddf_show.h"

namespace tarkeep::data {
namespace {

using test::show;

std::string rows_of(const CsvTable& table) {
    std::string out;
    for (const DdfValue& row : table.rows) out += show(row) + "\n";
    return out;
}

using Columns = std::vector<std::string>;

TEST(CsvHeader, FirstLineWithMostNameLikePiecesWins) {
    const CsvTable table = read_csv_table(
        "// Terrain Type, High detail texture, -x\n"
        "//a, b\n"
        "Grass, grass_set, 1\n");
    // Both lines have two name-like pieces; the first keeps the header.
    ASSERT_TRUE(table.columns);
    EXPECT_EQ(*table.columns, (Columns{"Terrain Type", "High detail texture", "-x"}));
    EXPECT_EQ(rows_of(table), "{Terrain Type: 'Grass', High detail texture: 'grass_set', -x: 1}\n");
}

struct HeaderCase {
    const char* name;
    const char* text;
    std::optional<Columns> columns;
};

class CsvHeaderTest : public testing::TestWithParam<HeaderCase> {};

TEST_P(CsvHeaderTest, Columns) {
    EXPECT_EQ(read_csv_table(GetParam().text).columns, GetParam().columns) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Csv, CsvHeaderTest,
    testing::Values(
        HeaderCase{"tie keeps the first", "//a,b,-x\n//c,d\nv\n", Columns{"a", "b", "-x"}},
        HeaderCase{"strictly higher count replaces", "//a,b\n//c,d,e\nv\n", Columns{"c", "d", "e"}},
        HeaderCase{"one name is no header", "//a,-b, ,\nv\n", std::nullopt},
        HeaderCase{"comment without comma is passed over", "// notes\n///a , b\nv\n", Columns{"a", "b"}},
        HeaderCase{"blank lines are passed over", "\n  \n//a,b\nv\n", Columns{"a", "b"}},
        HeaderCase{"a data line ends the walk", "v\n//a,b\n", std::nullopt},
        HeaderCase{"empty pieces are kept as names", "//a,,b\n", Columns{"a", "", "b"}},
        HeaderCase{"indented comment", "  //a,b\n", Columns{"a", "b"}},
        HeaderCase{"no lines at all", "", std::nullopt}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

struct RowCase {
    const char* name;
    std::string text;
    const char* rows;
};

class CsvRowTest : public testing::TestWithParam<RowCase> {};

TEST_P(CsvRowTest, Rows) { EXPECT_EQ(rows_of(read_csv_table(GetParam().text)), GetParam().rows) << GetParam().name; }

INSTANTIATE_TEST_SUITE_P(
    Csv, CsvRowTest,
    testing::Values(
        RowCase{"cell conversion", "12, 1.5f,stone,,\"7\"\n", "[12, 1.5f, 'stone', none, 7]\n"},
        RowCase{"bracket lists", "[a b  c],[],[x, [ 1 2.5 ]\n",
                "[['a', 'b', 'c'], [], '[x', [1, 2.5f]]\n"},
        RowCase{"quoted comma and line feed", "\"a,b\",\"c\nd\",e\n", "['a,b', 'c\nd', 'e']\n"},
        RowCase{"doubled quote", "\"say \"\"hi\"\"\",x\n", "['say \"hi\"', 'x']\n"},
        RowCase{"text after a closing quote continues unquoted", "\"ab\"cd,e\n", "['abcd', 'e']\n"},
        RowCase{"quote inside an unquoted field is kept", "ab\"c,d\n", "['ab\"c', 'd']\n"},
        RowCase{"unclosed quote runs to the end", "a,\"b,c\nd", "['a', 'b,c\nd']\n"},
        RowCase{"trailing comma adds an empty cell", "a,\n", "['a', none]\n"},
        RowCase{"rows of only blanks are dropped", " , ,\n\n,\nx\n", "['x']\n"},
        RowCase{"comments between data lines are dropped", "a\n// b,c\n  // d\ne", "['a']\n['e']\n"},
        RowCase{"every line break kind", std::string("a\rb\r\nc\vd\fe\x1c" "f\x1d" "g\x1e" "h\x85" "i"),
                "['a']\n['b']\n['c']\n['d']\n['e']\n['f']\n['g']\n['h']\n['i']\n"},
        RowCase{"0x1f is whitespace, not a break", std::string("a\x1f" "b"), "['a\x1f" "b']\n"},
        RowCase{"named columns", "//Name,Size\nA,1\n", "{Name: 'A', Size: 1}\n"},
        RowCase{"extra values get col names", "//a,b,c\n1,2,3,4,5\n", "{a: 1, b: 2, c: 3, col3: 4, col4: 5}\n"},
        RowCase{"short rows leave columns out", "//a,b,c\n1\n", "{a: 1}\n"},
        RowCase{"empty names become col", "//a,,b\n1,2,3\n", "{a: 1, col1: 2, b: 3}\n"},
        RowCase{"repeated name keeps first position, later value", "//a,b,a\n1,2,3\n", "{a: 3, b: 2}\n"},
        RowCase{"generated name meets a real one", "//col1,b\n1,2,3\n", "{col1: 1, b: 2, col2: 3}\n"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(CsvRecords, EndOfTextActsAsLineFeed) {
    using Records = std::vector<std::vector<std::string>>;
    EXPECT_EQ(parse_csv_records("a,b"), (Records{{"a", "b"}}));
    EXPECT_EQ(parse_csv_records("a,"), (Records{{"a", ""}}));
    EXPECT_EQ(parse_csv_records("\n\na"), (Records{{}, {}, {"a"}}));
    EXPECT_EQ(parse_csv_records(""), Records{});
    EXPECT_EQ(parse_csv_records("\""), (Records{{""}}));
    EXPECT_EQ(parse_csv_records("\"\""), (Records{{""}}));
}

}  // namespace
}  // namespace tarkeep::data
