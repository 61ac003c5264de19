#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/ddf_parser.h"
#include "ddf_show.h"

namespace tarkeep::data {
namespace {

using test::show;

// Every definition as "Type Name body".
std::string parse_shown(std::string_view text, std::vector<std::string>* warnings = nullptr) {
    std::string out;
    for (const DdfDefinition& d : parse_ddf(text, "x.ddf", warnings)) {
        if (!out.empty()) out += " | ";
        out += d.type + " " + d.name + " " + show(d.body);
    }
    return out;
}

struct ParseCase {
    const char* text;
    const char* expected;
};

class ParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, Definitions) {
    std::vector<std::string> warnings;
    EXPECT_EQ(parse_shown(GetParam().text, &warnings), GetParam().expected) << GetParam().text;
    EXPECT_TRUE(warnings.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ddf, ParseTest,
    testing::Values(
        ParseCase{"UnitModel Archer { Scale = 1.5f; Name Bow }", "UnitModel Archer {Scale: 1.5f, Name: 'Bow'}"},
        ParseCase{"UnitModel \"Archer\" { Scale = 1.5f; Name Bow }", "UnitModel Archer {Scale: 1.5f, Name: 'Bow'}"},
        ParseCase{"A b { Flags = (a | b) }", "A b {Flags: {_flags: ['a', 'b']}}"},
        ParseCase{"A b { F = (1 \"x y\") }", "A b {F: {_flags: ['1', 'x y']}}"},
        ParseCase{"A b { List = [ Sword { Damage = 3 } 4 ] }", "A b {List: [{Damage: 3, _type: 'Sword'}, 4]}"},
        ParseCase{"A b { L = [ T { _type = U; x = 1 } ] }", "A b {L: [{_type: 'T', x: 1}]}"},
        ParseCase{"A b { L = [ ; a, (f|g) {} \"s\" ] }", "A b {L: ['a', {_flags: ['f', 'g']}, {}, 's']}"},
        ParseCase{"A b { X = ; }", "A b {X: none}"},
        ParseCase{"A b { X = }", "A b {X: none}"},
        ParseCase{"A b { Inner { k v } Arr [1 2] }", "A b {Inner: {k: 'v'}, Arr: [1, 2]}"},
        ParseCase{"A b { \"quoted key\" = 1 }", "A b {quoted key: 1}"},
        ParseCase{"A b { ( = 1 }", "A b {(: 1}"},
        ParseCase{"A b { s = \"007\" }", "A b {s: '007'}"},
        ParseCase{"A b {} ;, C d {x=1}", "A b {} | C d {x: 1}"},
        ParseCase{"A b { a = 1 a = 2 a = 3 }", "A b {a: [1, 2, 3], __multi__a: true}"},
        ParseCase{"A b { a = [1] a = 2 }", "A b {a: [[1], 2], __multi__a: true}"},
        ParseCase{"A b { a = [1] a = 2 a = 3 }", "A b {a: [[1], 2, 3], __multi__a: true}"},
        ParseCase{"A b { __multi__a = 0 a = [1] a = 2 }", "A b {__multi__a: true, a: [[1], 2]}"},
        ParseCase{"A b { S { n 1 } S { n 2 } }", "A b {S: [{n: 1}, {n: 2}], __multi__S: true}"},
        ParseCase{"", ""}));

struct AtomCase {
    const char* atom;
    const char* expected;
};

class AtomTest : public testing::TestWithParam<AtomCase> {};

TEST_P(AtomTest, Conversion) {
    const std::string text = std::string("A b { v = ") + GetParam().atom + " }";
    EXPECT_EQ(parse_shown(text), std::string("A b {v: ") + GetParam().expected + "}") << GetParam().atom;
}

INSTANTIATE_TEST_SUITE_P(
    Ddf, AtomTest,
    testing::Values(AtomCase{"007", "7"}, AtomCase{"-12", "-12"}, AtomCase{"+12", "12"},
                    AtomCase{"-0", "0"}, AtomCase{"1e3", "1000f"}, AtomCase{"1E+3", "1000f"},
                    AtomCase{"2.5e-1", "0.25f"}, AtomCase{".5", "0.5f"}, AtomCase{"-.5f", "-0.5f"},
                    AtomCase{"1.", "1f"}, AtomCase{"1.5f", "1.5f"}, AtomCase{"3F", "3"},
                    AtomCase{"1.0.0", "'1.0.0'"}, AtomCase{"1e", "'1e'"}, AtomCase{"1ff", "'1ff'"},
                    AtomCase{".", "'.'"}, AtomCase{"+", "'+'"}, AtomCase{"--1", "'--1'"},
                    AtomCase{"0x10", "'0x10'"}, AtomCase{"1f5", "'1f5'"}, AtomCase{"abc", "'abc'"},
                    AtomCase{"99999999999999999999", "1e+20f"},
                    AtomCase{"9223372036854775807", "9223372036854775807"},
                    AtomCase{"-9223372036854775808", "-9223372036854775808"},
                    AtomCase{"9223372036854775808", "9223372036854775808f"},
                    AtomCase{"1e999", "'1e999'"}));

struct ErrorCase {
    const char* text;
    const char* message;
};

class ParseErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(ParseErrorTest, Message) {
    std::vector<std::string> warnings;
    try {
        parse_ddf(GetParam().text, "db/x.ddf", &warnings);
        FAIL() << "no error for " << GetParam().text;
    } catch (const DdfError& error) {
        EXPECT_EQ(std::string(error.what()), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ddf, ParseErrorTest,
    testing::Values(
        ErrorCase{"A", "db/x.ddf: bad definition header ('atom', 'A') (None, None)"},
        ErrorCase{"\"A\" b {}", "db/x.ddf: bad definition header ('str', 'A') ('atom', 'b')"},
        ErrorCase{"A { }", "db/x.ddf: bad definition header ('atom', 'A') ('p', '{')"},
        ErrorCase{"A b c", "db/x.ddf: expected '{', got ('atom', 'c')"},
        ErrorCase{"A b", "db/x.ddf: expected '{', got (None, None)"},
        ErrorCase{"A b { k ; }", "db/x.ddf: after key 'k' expected =, { or [, got ('p', ';')"},
        ErrorCase{"A b { k", "db/x.ddf: after key 'k' expected =, { or [, got (None, None)"},
        ErrorCase{"A b { X = ) }", "db/x.ddf: unexpected ('p', ')') as value"},
        ErrorCase{"A b { X = , }", "db/x.ddf: unexpected ('p', ',') as value"},
        ErrorCase{"A b { X =", "db/x.ddf: unexpected (None, None) as value"},
        ErrorCase{"A b { X = ] }", "db/x.ddf: after key ']' expected =, { or [, got ('p', '}')"},
        ErrorCase{"A b { L = [ [ ] ] }", "db/x.ddf: unexpected ('p', '[') in list"},
        ErrorCase{"A b { L = [ = ] }", "db/x.ddf: unexpected ('p', '=') in list"},
        ErrorCase{"A b { L = [ 1", "db/x.ddf: unexpected (None, None) in list"},
        ErrorCase{"A b { F = (a, b) }", "db/x.ddf: unexpected ('p', ',') in flag group"},
        ErrorCase{"A b { F = (a", "db/x.ddf: unexpected (None, None) in flag group"},
        ErrorCase{"A b { F = (a (b)) }", "db/x.ddf: unexpected ('p', '(') in flag group"}));

TEST(ParseDdf, UnclosedBlockKeepsThePartialDefinitionAndWarns) {
    std::vector<std::string> warnings{"earlier"};
    EXPECT_EQ(parse_shown("A b { x = 1 } C d { y = 2; Inner { z = 3", &warnings),
              "A b {x: 1} | C d {y: 2, Inner: {z: 3}}");
    // One warning per block left open, after the caller's earlier ones.
    EXPECT_EQ(warnings, (std::vector<std::string>{"earlier", "x.ddf: unclosed block at end of file",
                                                  "x.ddf: unclosed block at end of file"}));
}

TEST(ParseDdf, WarningsAreOptional) { EXPECT_EQ(parse_shown("A b {"), "A b {}"); }

// Nesting is bounded so that hostile files cannot exhaust the stack, in the parser or
// later when values are copied and destroyed.
TEST(ParseDdf, DeepNestingFailsCleanly) {
    std::string blocks = "A b { k = ";
    blocks.append(1'000'000, '{');
    std::string lists = "A b { k = ";
    for (int i = 0; i < 400'000; ++i) lists += "[{k";
    for (const std::string& text : {blocks, lists}) {
        try {
            parse_ddf(text, "deep.ddf");
            FAIL() << "accepted nesting of " << text.substr(0, 20);
        } catch (const DdfError& error) {
            EXPECT_EQ(std::string(error.what()), "deep.ddf: blocks and lists nested deeper than 256 levels");
        }
    }
}

TEST(ParseDdf, NestingUpToTheLimitIsAccepted) {
    // The body is one level; then lists (keyed, inside blocks) and blocks (bare, inside
    // lists) alternate.
    std::string text = "A b {";
    std::string closing = "}";
    for (std::size_t depth = 2; depth <= max_ddf_nesting; ++depth) {
        text += depth % 2 ? " {" : " k [";
        closing.insert(0, depth % 2 ? "}" : "]");
    }
    const auto definitions = parse_ddf(text + closing, "ok.ddf");
    ASSERT_EQ(definitions.size(), 1u);
    std::size_t depth = 1;
    const DdfValue* value = &definitions[0].body;
    while (value->entries.size() == 1 || value->items.size() == 1) {
        value = value->is(DdfKind::Block) ? &value->entries[0].second : &value->items[0];
        ++depth;
    }
    EXPECT_EQ(depth, max_ddf_nesting);
    EXPECT_THROW(parse_ddf(text + " k {" + "}" + closing, "deep.ddf"), DdfError);
}

TEST(ParseDdf, ManyFlatDefinitionsNeedNoDepth) {
    std::string text;
    for (int i = 0; i < 10000; ++i) text += "T n" + std::to_string(i) + " { v = " + std::to_string(i) + " }\n";
    const auto definitions = parse_ddf(text, "flat.ddf");
    ASSERT_EQ(definitions.size(), 10000u);
    EXPECT_EQ(definitions.back().name, "n9999");
    EXPECT_EQ(definitions.back().body.find("v")->integer, 9999);
}

}  // namespace
}  // namespace tarkeep::data
