// The definition-file parser: definitions, error messages, unclosed blocks and the nesting limit.
#include <gtest/gtest.h>

#include <tuple>

#include <string>
#include <vector>

#include "data/ddf_parser.h"
#include "ddf_show.h"

namespace tarkeep::data {
namespace {

using test::error_text;
using test::show;
using Texts = std::vector<std::string>;

// Every definition as "Type Name body".
std::string parse_shown(std::string_view text, Texts* warnings = nullptr) {
    std::string out;
    for (const DdfDefinition& d : parse_ddf(text, "x.ddf", warnings)) {
        out += (out.empty() ? "" : " | ") + d.type + " " + d.name + " " + show(d.body);
    }
    return out;
}

TEST(DdfParser, DefinitionsUnclosedBlocksErrorsAndTheNestingLimit) {
    const std::tuple<const char*, const char*> cases[] = {
        {"UnitModel Archer { Scale = 1.5f; Name Bow }", "UnitModel Archer {Scale: 1.5f, Name: 'Bow'}"},
        {"A b { Flags = (a | b) }", "A b {Flags: {_flags: ['a', 'b']}}"},
        {"A b { F = (1 \"x y\") }", "A b {F: {_flags: ['1', 'x y']}}"},
        {"A b { List = [ Sword { Damage = 3 } 4 ] }", "A b {List: [{Damage: 3, _type: 'Sword'}, 4]}"},
        {"A b { L = [ T { _type = U; x = 1 } ] }", "A b {L: [{_type: 'T', x: 1}]}"},
        {"A b { L = [ ; a, (f|g) {} \"s\" ] }", "A b {L: ['a', {_flags: ['f', 'g']}, {}, 's']}"},
        {"A b { X = ; }", "A b {X: none}"},
        {"A b { Inner { k v } Arr [1 2] }", "A b {Inner: {k: 'v'}, Arr: [1, 2]}"},
        {"A b { \"quoted key\" = 1 }", "A b {quoted key: 1}"},
        {"A b { ( = 1 }", "A b {(: 1}"},
        {"A b { s = \"007\" t = 007 }", "A b {s: '007', t: 7}"},
        {"A b {} ;, C d {x=1}", "A b {} | C d {x: 1}"},
        {"", ""},
        {"A b { a = 1 a = 2 a = 3 }", "A b {a: [1, 2, 3], __multi__a: true}"},
        {"A b { a = [1] a = 2 a = 3 }", "A b {a: [[1], 2, 3], __multi__a: true}"},
        {"A b { __multi__a = 0 a = [1] a = 2 }", "A b {__multi__a: true, a: [[1], 2]}"},
        {"A b { S { n 1 } S { n 2 } }", "A b {S: [{n: 1}, {n: 2}], __multi__S: true}"}};
    for (const auto& [text, expected] : cases) {
        Texts warnings;
        EXPECT_EQ(parse_shown(text, &warnings), expected) << text;
        EXPECT_EQ(warnings, Texts{}) << text;
    }
    Texts warnings{"earlier"};
    EXPECT_EQ(parse_shown("A b { x = 1 } C d { y = 2; Inner { z = 3", &warnings),
              "A b {x: 1} | C d {y: 2, Inner: {z: 3}}");
    // One warning per block left open, after the caller's earlier ones.
    const std::string unclosed = "x.ddf: unclosed block at end of file";
    EXPECT_EQ(warnings, (Texts{"earlier", unclosed, unclosed}));
    EXPECT_EQ(parse_shown("A b {"), "A b {}");  // warnings are optional
    const std::tuple<const char*, const char*> messages[] = {
        {"A", "db/x.ddf: bad definition header ('atom', 'A') (None, None)"},
        {"\"A\" b {}", "db/x.ddf: bad definition header ('str', 'A') ('atom', 'b')"},
        {"A { }", "db/x.ddf: bad definition header ('atom', 'A') ('p', '{')"},
        {"A b c", "db/x.ddf: expected '{', got ('atom', 'c')"},
        {"A b { k ; }", "db/x.ddf: after key 'k' expected =, { or [, got ('p', ';')"},
        {"A b { X = ) }", "db/x.ddf: unexpected ('p', ')') as value"},
        {"A b { X = ] }", "db/x.ddf: after key ']' expected =, { or [, got ('p', '}')"},
        {"A b { L = [ [ ] ] }", "db/x.ddf: unexpected ('p', '[') in list"},
        {"A b { F = (a (b)) }", "db/x.ddf: unexpected ('p', '(') in flag group"}};
    for (const auto& [text, message] : messages) {
        Texts warnings;
        EXPECT_EQ(error_text<DdfError>([&] { parse_ddf(text, "db/x.ddf", &warnings); }), message) << text;
    }
    // Nesting is bounded so that hostile files cannot exhaust the stack, in the parser or
    // later when values are copied and destroyed.
    // The body is one level; then lists (keyed, inside blocks) and blocks (bare, inside
    // lists) alternate up to the limit.
    std::string text = "A b {", closing = "}";
    for (std::size_t depth = 2; depth <= kMaxDdfNesting; ++depth) {
        text += depth % 2 ? " {" : " k [";
        closing.insert(0, depth % 2 ? "}" : "]");
    }
    EXPECT_EQ(parse_ddf(text + closing, "ok.ddf").size(), 1u);

    std::string blocks = "A b { k = ", lists = "A b { k = ";
    blocks.append(1'000'000, '{');
    for (int i = 0; i < 400'000; ++i) lists += "[{k";
    for (const std::string& deeper : {text + " k {}" + closing, blocks, lists}) {
        EXPECT_EQ(error_text<DdfError>([&] { parse_ddf(deeper, "deep.ddf"); }),
                  "deep.ddf: blocks and lists nested deeper than 256 levels")
            << deeper.size();
    }
}

}  // namespace
}  // namespace tarkeep::data
