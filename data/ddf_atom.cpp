// Classifying bare words of definition files as integers, floats or strings.
#include "data/ddf_atom.h"

#include <charconv>
#include <cstdint>
#include <string>

namespace tarkeep::data {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::size_t skip_digits(std::string_view text, std::size_t i) {
    while (i < text.size() && is_digit(text[i])) ++i;
    return i;
}

bool is_signed_digits(std::string_view text) {
    std::size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    return i < text.size() && skip_digits(text, i) == text.size();
}

}  // namespace

bool is_number_atom(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i < text.size() && is_digit(text[i])) {
        i = skip_digits(text, i);
        if (i < text.size() && text[i] == '.') i = skip_digits(text, i + 1);
    } else if (i + 1 < text.size() && text[i] == '.' && is_digit(text[i + 1])) {
        i = skip_digits(text, i + 1);
    } else {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j >= text.size() || !is_digit(text[j])) return false;
        i = skip_digits(text, j);
    }
    if (i < text.size() && (text[i] == 'f' || text[i] == 'F')) ++i;
    return i == text.size();
}

DdfValue convert_atom(std::string_view text) {
    if (!is_number_atom(text)) return DdfValue::string(std::string(text));
    std::string_view number = text;
    if (number.back() == 'f' || number.back() == 'F') number.remove_suffix(1);
    if (number.front() == '+') number.remove_prefix(1);
    const char* first = number.data();
    const char* last = number.data() + number.size();
    if (is_signed_digits(number)) {
        std::int64_t integer = 0;
        const auto [end, error] = std::from_chars(first, last, integer);
        if (error == std::errc() && end == last) return DdfValue::int_value(integer);
        // Out of 64-bit range: read it as a float instead.
    }
    double real = 0.0;
    const auto [end, error] = std::from_chars(first, last, real, std::chars_format::general);
    if (error == std::errc() && end == last) return DdfValue::float_value(real);
    return DdfValue::string(std::string(text));
}

}  // namespace tarkeep::data
