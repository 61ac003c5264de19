// The definition-file tokenizer: strings, punctuation and atoms, with comments skipped.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarkeep::data {

enum class DdfTokenKind : std::uint8_t { none = 0, string = 1, punct = 2, atom = 3 };

// One token. `text` views the text given to tokenize_ddf, which must outlive the token:
// for a string the raw bytes between the quotes (escapes kept), for punct the single character.
struct DdfToken {
    DdfTokenKind kind = DdfTokenKind::none;
    std::string_view text;

    bool is_p(char c) const { return kind == DdfTokenKind::punct && text.size() == 1 && text[0] == c; }
    bool is_scalar() const { return kind == DdfTokenKind::string || kind == DdfTokenKind::atom; }
};

// Linear in the text's length, also for unclosed comments and strings. `bytes_examined`,
// when given, is increased by the bytes the comment and string scans look at (for tests
// that hold the tokenizer to that bound).
std::vector<DdfToken> tokenize_ddf(std::string_view text, std::size_t* bytes_examined = nullptr);

// The token as the parser's messages show it: "(None, None)", "('str', 'x')",
// "('p', '{')" or "('atom', 'x')".
std::string token_repr(const DdfToken& token);

}  // namespace tarkeep::data
