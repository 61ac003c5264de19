// Text helpers for the game's files: their whitespace sets, line breaks, words and extensions.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tarkeep::data {

namespace detail {
constexpr std::array<bool, 256> byte_set(std::string_view members) {
    std::array<bool, 256> table{};
    for (char c : members) table[static_cast<unsigned char>(c)] = true;
    return table;
}
inline constexpr auto text_space = byte_set("\t\n\v\f\r\x1c\x1d\x1e\x1f \x85\xa0");
inline constexpr auto c_space = byte_set("\t\n\v\f\r ");
}  // namespace detail

// Whitespace of the game's text files: tab, LF, VT, FF, CR, 0x1C-0x1F, space, 0x85, 0xA0.
inline bool is_text_space(unsigned char c) { return detail::text_space[c]; }
// The narrower C set: space and the bytes 9-13.
inline bool is_c_space(unsigned char c) { return detail::c_space[c]; }

std::string_view strip_text_space(std::string_view text);
std::string_view strip_c_space(std::string_view text);
// Removes every leading and trailing occurrence of any byte in `chars`.
std::string_view strip_chars(std::string_view text, std::string_view chars);

// Splits at LF, CR, CR LF, VT, FF, 0x1C, 0x1D, 0x1E and 0x85; a final piece without a
// break is a line, an empty text has no lines. The views point into `text`.
std::vector<std::string_view> split_lines(std::string_view text);

// The words between runs of text whitespace.
std::vector<std::string_view> split_words(std::string_view text);

// 'A'-'Z' to 'a'-'z'; every other byte unchanged. Inline, so that the texture library
// below this one can use it too.
inline std::string ascii_lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// `path` without its extension: the part from the last '.' of the final component
// (after the last '/' or '\'), provided some non-dot byte of that component precedes
// the dot, so ".hidden" and "..x" keep their dots.
std::string_view remove_extension(std::string_view path);

}  // namespace tarkeep::data
