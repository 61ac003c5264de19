#include "data/ddf_tokenizer.h"

#include <array>

#include "data/text_lines.h"

namespace tarkeep::data {
namespace {

constexpr auto punctuation = detail::byte_set("(),;=[]{|}");

bool is_punct(char c) { return punctuation[static_cast<unsigned char>(c)]; }
bool is_space(char c) { return is_text_space(static_cast<unsigned char>(c)); }

bool ends_atom(char c) { return is_space(c) || c == '"' || is_punct(c); }

class Tokenizer {
public:
    explicit Tokenizer(std::string_view text) : text_(text) {}

    std::vector<DdfToken> run() {
        std::vector<DdfToken> tokens;
        tokens.reserve(text_.size() / 8);  // typical density; grows when denser
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (is_space(c)) {
                ++pos_;
            } else if (c == '#' || starts_with("//")) {
                skip_line_comment();
            } else if (starts_with("/*") && skip_block_comment()) {
                // skipped
            } else if (c == '"') {
                read_string(tokens);
            } else if (is_punct(c)) {
                tokens.push_back({DdfTokenKind::punct, text_.substr(pos_++, 1)});
            } else {
                read_atom(tokens);
            }
        }
        return tokens;
    }

private:
    bool starts_with(std::string_view prefix) const {
        return text_.substr(pos_, prefix.size()) == prefix;
    }

    void skip_line_comment() {
        const std::size_t end = text_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end;
    }

    // A "/*" without a later "*/" is no comment: the '/' then starts an atom.
    bool skip_block_comment() {
        const std::size_t end = text_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) return false;
        pos_ = end + 2;
        return true;
    }

    // An unclosed string yields nothing: only the opening quote is dropped.
    void read_string(std::vector<DdfToken>& tokens) {
        std::size_t i = pos_ + 1;
        while (i < text_.size()) {
            if (text_[i] == '\\') {
                i += 2;
            } else if (text_[i] == '"') {
                tokens.push_back({DdfTokenKind::string, text_.substr(pos_ + 1, i - pos_ - 1)});
                pos_ = i + 1;
                return;
            } else {
                ++i;
            }
        }
        ++pos_;
    }

    void read_atom(std::vector<DdfToken>& tokens) {
        const std::size_t start = pos_;
        ++pos_;  // the first byte belongs to the atom even when it is '/'
        while (pos_ < text_.size() && !ends_atom(text_[pos_])) ++pos_;
        tokens.push_back({DdfTokenKind::atom, text_.substr(start, pos_ - start)});
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

std::vector<DdfToken> tokenize_ddf(std::string_view text) { return Tokenizer(text).run(); }

std::string token_repr(const DdfToken& token) {
    const char* kind = nullptr;
    switch (token.kind) {
        case DdfTokenKind::none: return "(None, None)";
        case DdfTokenKind::string: kind = "str"; break;
        case DdfTokenKind::punct: kind = "p"; break;
        case DdfTokenKind::atom: kind = "atom"; break;
        default: return "?";
    }
    return "('" + std::string(kind) + "', '" + std::string(token.text) + "')";
}

}  // namespace tarkeep::data
