// Text helpers of the data readers: stripping, line and word splitting, lower-casing, extensions.
#include "data/text_lines.h"

namespace tarkeep::data {
namespace {

bool is_single_break(unsigned char c) {
    return c == '\n' || c == '\v' || c == '\f' || c == 0x1c || c == 0x1d || c == 0x1e || c == 0x85;
}

template <typename Predicate>
std::string_view strip_if(std::string_view text, Predicate is_stripped) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && is_stripped(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && is_stripped(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

}  // namespace

std::string_view strip_text_space(std::string_view text) { return strip_if(text, is_text_space); }
std::string_view strip_c_space(std::string_view text) { return strip_if(text, is_c_space); }

std::string_view strip_chars(std::string_view text, std::string_view chars) {
    return strip_if(text,
                    [chars](unsigned char c) { return chars.find(static_cast<char>(c)) != std::string_view::npos; });
}

std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            lines.push_back(text.substr(start, i - start));
            i += (i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else if (is_single_break(c)) {
            lines.push_back(text.substr(start, i - start));
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::vector<std::string_view> split_words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && is_text_space(static_cast<unsigned char>(text[i]))) ++i;
        const std::size_t start = i;
        while (i < text.size() && !is_text_space(static_cast<unsigned char>(text[i]))) ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

std::string_view remove_extension(std::string_view path) {
    const std::size_t separator = path.find_last_of("/\\");
    const std::size_t name_start = separator == std::string_view::npos ? 0 : separator + 1;
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < name_start) return path;
    const std::string_view before = path.substr(name_start, dot - name_start);
    if (before.find_first_not_of('.') == std::string_view::npos) return path;
    return path.substr(0, dot);
}

}  // namespace tarkeep::data
