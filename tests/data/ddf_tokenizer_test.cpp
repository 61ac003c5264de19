#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/ddf_tokenizer.h"

namespace tarkeep::data {
namespace {

// Tokens written as their repr, which names both kind and text.
std::vector<std::string> reprs(std::string_view text) {
    std::vector<std::string> out;
    for (const DdfToken& token : tokenize_ddf(text)) out.push_back(token_repr(token));
    return out;
}

using Reprs = std::vector<std::string>;

struct TokenCase {
    const char* name;
    std::string text;
    Reprs expected;
};

class TokenizerTest : public testing::TestWithParam<TokenCase> {};

TEST_P(TokenizerTest, Tokens) { EXPECT_EQ(reprs(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Ddf, TokenizerTest,
    testing::Values(
        TokenCase{"punctuation", "(),;=[]{|}",
                  {"('p', '(')", "('p', ')')", "('p', ',')", "('p', ';')", "('p', '=')", "('p', '[')",
                   "('p', ']')", "('p', '{')", "('p', '|')", "('p', '}')"}},
        TokenCase{"atoms end at punctuation and quotes", "a=b\"c\"d{",
                  {"('atom', 'a')", "('p', '=')", "('atom', 'b')", "('str', 'c')", "('atom', 'd')", "('p', '{')"}},
        TokenCase{"all whitespace bytes separate", std::string("a\tb\vc\fd\x1c" "e\x1f" "f\x85g\xa0h"),
                  {"('atom', 'a')", "('atom', 'b')", "('atom', 'c')", "('atom', 'd')", "('atom', 'e')",
                   "('atom', 'f')", "('atom', 'g')", "('atom', 'h')"}},
        TokenCase{"line comment", "a // b c\nd", {"('atom', 'a')", "('atom', 'd')"}},
        TokenCase{"hash comment at token start", "a #b c\nd", {"('atom', 'a')", "('atom', 'd')"}},
        TokenCase{"hash inside an atom", "a#b", {"('atom', 'a#b')"}},
        TokenCase{"slashes inside an atom", "a//b c", {"('atom', 'a//b')", "('atom', 'c')"}},
        TokenCase{"block comment", "a /* x \n y */ b", {"('atom', 'a')", "('atom', 'b')"}},
        TokenCase{"unclosed block comment is an atom", "/* x", {"('atom', '/*')", "('atom', 'x')"}},
        TokenCase{"comment marker overlapping its end is no comment", "/*/", {"('atom', '/*/')"}},
        TokenCase{"shortest block comment", "/**/a", {"('atom', 'a')"}},
        TokenCase{"escapes are kept raw", R"("a\"b\\" c)", {R"(('str', 'a\"b\\'))", "('atom', 'c')"}},
        TokenCase{"empty string", "\"\"", {"('str', '')"}},
        TokenCase{"unclosed string drops only its quote", "\"abc\n", {"('atom', 'abc')"}},
        TokenCase{"backslash as last byte ends the scan", "\"ab\\", {"('atom', 'ab\\')"}},
        TokenCase{"string spans lines", "\"a\nb\"", {"('str', 'a\nb')"}},
        TokenCase{"nothing", " \n\t ", {}}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name;
    });

TEST(TokenRepr, NoneToken) { EXPECT_EQ(token_repr(DdfToken{}), "(None, None)"); }

TEST(TokenRepr, UnknownKindIsQuestionMark) {
    EXPECT_EQ(token_repr(DdfToken{static_cast<DdfTokenKind>(9), "x"}), "?");
}

}  // namespace
}  // namespace tarkeep::data
