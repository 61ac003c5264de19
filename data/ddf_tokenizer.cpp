// Tokenizing definition files in one linear pass, comments and unclosed strings included.
#include "data/ddf_tokenizer.h"

#include <algorithm>
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
    Tokenizer(std::string_view text, std::size_t* bytes_examined) : text_(text), bytes_examined_(bytes_examined) {}

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
    bool starts_with(std::string_view prefix) const { return text_.substr(pos_, prefix.size()) == prefix; }

    void skip_line_comment() {
        const std::size_t end = text_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end;
    }

    void count(std::size_t bytes) {
        if (bytes_examined_) *bytes_examined_ += bytes;
    }

    // A "/*" without a later "*/" is no comment: the '/' then starts an atom. The first
    // "*/" found is remembered: every later "/*" before it ends there too, and once none is
    // left no later search can find one, so the text is searched once in all.
    bool skip_block_comment() {
        const std::size_t from = pos_ + 2;
        if (comment_end_ == kNotSearched || (comment_end_ != std::string_view::npos && comment_end_ < from)) {
            comment_end_ = text_.find("*/", from);
            count((comment_end_ == std::string_view::npos ? text_.size() : comment_end_ + 2) -
                  std::min(from, text_.size()));
        }
        if (comment_end_ == std::string_view::npos) return false;
        pos_ = comment_end_ + 2;
        return true;
    }

    // An unclosed string yields nothing: only the opening quote is dropped. Every byte an
    // unclosed string's scan steps on leads to the end of the text, so it is marked, and a
    // later scan that steps on a marked byte stops there: each byte is scanned about once.
    void read_string(std::vector<DdfToken>& tokens) {
        std::size_t i = pos_ + 1;
        const std::size_t first = i;
        while (i < text_.size() && !(leads_to_end_.size() > i && leads_to_end_[i])) {
            count(1);
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
        mark_leading_to_end(first);
        ++pos_;
    }

    // Walks the scan from `i` again, marking each byte it steps on, until the end or a mark.
    void mark_leading_to_end(std::size_t i) {
        if (leads_to_end_.empty()) leads_to_end_.assign(text_.size(), 0);
        while (i < text_.size() && !leads_to_end_[i]) {
            count(1);
            leads_to_end_[i] = 1;
            i += text_[i] == '\\' ? 2 : 1;
        }
    }

    void read_atom(std::vector<DdfToken>& tokens) {
        const std::size_t start = pos_;
        ++pos_;  // the first byte belongs to the atom even when it is '/'
        while (pos_ < text_.size() && !ends_atom(text_[pos_])) ++pos_;
        tokens.push_back({DdfTokenKind::atom, text_.substr(start, pos_ - start)});
    }

    static constexpr std::size_t kNotSearched = std::string_view::npos - 1;

    std::string_view text_;
    std::size_t* bytes_examined_;
    std::size_t pos_ = 0;
    std::size_t comment_end_ = kNotSearched;
    std::vector<std::uint8_t> leads_to_end_;  // made on the first unclosed string
};

}  // namespace

std::vector<DdfToken> tokenize_ddf(std::string_view text, std::size_t* bytes_examined) {
    return Tokenizer(text, bytes_examined).run();
}

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
