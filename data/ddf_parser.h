// Parsing definition files into their top-level `Type Name { body }` definitions.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "data/ddf_error.h"
#include "data/ddf_value.h"

namespace tarkeep::data {

// One top-level definition: `Type Name { body }`.
struct DdfDefinition {
    std::string type;
    std::string name;
    DdfValue body;  // a block
};

// Deepest nesting of blocks and lists a file may use; deeper input is rejected so that
// parsing, copying and destroying values keep a bounded stack.
inline constexpr std::size_t kMaxDdfNesting = 256;

// Parses a whole definition file. `path` starts every message; warnings (an unclosed
// block at the end of the file) are appended to `warnings` when given. Throws DdfError.
std::vector<DdfDefinition> parse_ddf(std::string_view text, std::string_view path,
                                     std::vector<std::string>* warnings = nullptr);

}  // namespace tarkeep::data
