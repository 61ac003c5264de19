// The definition-file tokenizer: tokens, comments and strings, and one linear scan on unclosed ones.
#include <gtest/gtest.h>

#include <tuple>

#include <string>

#include "data/ddf_tokenizer.h"

namespace tarkeep::data {
namespace {

// Tokens written as their reprs, which name both kind and text, one space apart.
std::string reprs(std::string_view text) {
    std::string out;
    for (const DdfToken& token : tokenize_ddf(text)) out += (out.empty() ? "" : " ") + token_repr(token);
    return out;
}

TEST(DdfTokenizer, TokensCommentsStringsAndOneScanOfUnclosedOnes) {
    const std::tuple<const char*, std::string, const char*> cases[] = {
        {"punctuation", "(),;=[]{|}",
         "('p', '(') ('p', ')') ('p', ',') ('p', ';') ('p', '=') ('p', '[') ('p', ']') ('p', '{') ('p', '|') ('p', "
         "'}')"},
        {"atoms end at punctuation and quotes", "a=b\"c\"d{",
         "('atom', 'a') ('p', '=') ('atom', 'b') ('str', 'c') ('atom', 'd') ('p', '{')"},
        {"all whitespace bytes separate", std::string("a\tb\vc\fd\034e\037f\205g\240h"),
         "('atom', 'a') ('atom', 'b') ('atom', 'c') ('atom', 'd') ('atom', 'e') ('atom', 'f') ('atom', 'g') ('atom', "
         "'h')"},
        {"line comment", "a // b c\nd", "('atom', 'a') ('atom', 'd')"},
        {"hash comment at token start", "a #b c\nd", "('atom', 'a') ('atom', 'd')"},
        {"slashes inside an atom", "a//b c", "('atom', 'a//b') ('atom', 'c')"},
        {"block comment", "a /* x \n y */ b", "('atom', 'a') ('atom', 'b')"},
        {"unclosed block comment is an atom", "/* x", "('atom', '/*') ('atom', 'x')"},
        {"comment marker overlapping its end is no comment", "/*/", "('atom', '/*/')"},
        {"shortest block comment", "/**/a", "('atom', 'a')"},
        {"escapes are kept raw", R"("a\"b\\" c)", R"(('str', 'a\"b\\') ('atom', 'c'))"},
        {"unclosed string drops only its quote", "\"abc\n", "('atom', 'abc')"},
        {"backslash as last byte ends the scan", "\"ab\\", "('atom', 'ab\\')"},
        {"strings after an unclosed one", R"("\"x\" \")", R"(('atom', '\') ('atom', 'x\') ('atom', '\'))"},
        {"comments after an unclosed one", "/* a /* b", "('atom', '/*') ('atom', 'a') ('atom', '/*') ('atom', 'b')"},
        {"a comment end serves every opening before it", "/* /* */ a /* b */ c", "('atom', 'a') ('atom', 'c')"}};
    for (const auto& [name, text, tokens] : cases) EXPECT_EQ(reprs(text), tokens) << name;
    // A mod file with an unclosed comment or a string whose quotes are all escaped must not
    // make the scans start over at every token: the bytes examined stay a small multiple.
    std::string comments, strings;
    for (int i = 0; i < 20000; ++i) comments += "/* ";
    for (int i = 0; i < 20000; ++i) strings += "\"\\";
    for (const std::string& text : {comments, strings}) {
        std::size_t examined = 0;
        tokenize_ddf(text, &examined);
        EXPECT_LE(examined, 3 * text.size()) << text.substr(0, 6);
    }
}

}  // namespace
}  // namespace tarkeep::data
