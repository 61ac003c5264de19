#pragma once
#include <charconv>
#include <string>

#include "data/ddf_value.h"

namespace tarkeep::test {

using data::DdfKind;
using data::DdfValue;

// A compact, readable rendering of a value for expectations: none, true, 7, 1.5f,
// 'text', {key: value, ...}, [item, ...].
inline std::string show(const DdfValue& value) {
    switch (value.kind) {
        case DdfKind::None: return "none";
        case DdfKind::Bool: return value.flag ? "true" : "false";
        case DdfKind::Int: return std::to_string(value.integer);
        case DdfKind::Float: {
            char buffer[64];
            const auto end = std::to_chars(buffer, buffer + sizeof buffer, value.real).ptr;
            return std::string(buffer, end) + "f";
        }
        case DdfKind::String: return "'" + value.text + "'";
        case DdfKind::Block: {
            std::string out = "{";
            for (std::size_t i = 0; i < value.entries.size(); ++i) {
                if (i) out += ", ";
                out += value.entries[i].first + ": " + show(value.entries[i].second);
            }
            return out + "}";
        }
        case DdfKind::List: {
            std::string out = "[";
            for (std::size_t i = 0; i < value.items.size(); ++i) {
                if (i) out += ", ";
                out += show(value.items[i]);
            }
            return out + "]";
        }
    }
    return "?";
}

}  // namespace tarkeep::test
