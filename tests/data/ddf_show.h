// Readable renderings of definition values for test expectations.
#pragma once
#include <charconv>
#include <string>

#include "data/ddf_value.h"
#include "tests/data/error_text.h"

namespace tarkeep::test {

using data::DdfKind;
using data::DdfValue;

// A compact, readable rendering of a value for expectations: none, true, 7, 1.5f,
// 'text', {key: value, ...}, [item, ...].
inline std::string show(const DdfValue& value) {
    std::string out;
    switch (value.kind) {
        case DdfKind::none: return "none";
        case DdfKind::boolean: return value.flag ? "true" : "false";
        case DdfKind::integer: return std::to_string(value.integer);
        case DdfKind::floating: {
            char buffer[64];
            const auto end = std::to_chars(buffer, buffer + sizeof buffer, value.real).ptr;
            return std::string(buffer, end) + "f";
        }
        case DdfKind::string: return "'" + value.text + "'";
        case DdfKind::block:
            for (const auto& [key, item] : value.entries) out += (out.empty() ? "" : ", ") + key + ": " + show(item);
            return "{" + out + "}";
        case DdfKind::list:
            for (const DdfValue& item : value.items) out += (out.empty() ? "" : ", ") + show(item);
            return "[" + out + "]";
    }
    return "?";
}

}  // namespace tarkeep::test
