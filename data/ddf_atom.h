// Bare words of definition files and table cells as values: integer, float or string.
#pragma once
#include <string_view>

#include "data/ddf_value.h"

namespace tarkeep::data {

// A bare word as a value: an integer when it is a sign and digits that fit 64 bits, a
// float when it matches [+-](d+[.d*] | .d+)[(e|E)[+-]d+][f|F], otherwise a string.
DdfValue convert_atom(std::string_view text);

// True when `text` has the number form above (whatever its range).
bool is_number_atom(std::string_view text);

}  // namespace tarkeep::data
