// The JSON value type and its compact serializer.
#include "data/gltf/json_value.h"

#include <charconv>
#include <cmath>

namespace tarkeep::data {

JsonValue& JsonValue::push(JsonValue value) {
    items_.push_back(std::move(value));
    return items_.back();
}

JsonValue& JsonValue::set(std::string_view key, JsonValue value) {
    for (Member& member : members_) {
        if (member.first == key) {
            member.second = std::move(value);
            return member.second;
        }
    }
    members_.emplace_back(std::string(key), std::move(value));
    return members_.back().second;
}

const JsonValue* JsonValue::find(std::string_view key) const {
    for (const Member& member : members_) {
        if (member.first == key) return &member.second;
    }
    return nullptr;
}

JsonValue* JsonValue::find(std::string_view key) {
    return const_cast<JsonValue*>(static_cast<const JsonValue&>(*this).find(key));
}

void append_json_number(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "NaN";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-Infinity" : "Infinity";
        return;
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    out += text;
    if (text.find_first_of(".e") == std::string_view::npos) out += ".0";
}

void append_json_string(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
            case '\b': out += "\\b"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\f': out += "\\f"; break;
            case '\r': out += "\\r"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default:
                if (byte < 0x20 || byte >= 0x80) {
                    out += "\\u00";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 15];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void append_json(std::string& out, const JsonValue& value) {
    switch (value.kind()) {
        case JsonValue::Kind::null: out += "null"; break;
        case JsonValue::Kind::boolean: out += value.as_bool() ? "true" : "false"; break;
        case JsonValue::Kind::integer: out += std::to_string(value.as_int()); break;
        case JsonValue::Kind::number: append_json_number(out, value.as_number()); break;
        case JsonValue::Kind::string: append_json_string(out, value.as_string()); break;
        case JsonValue::Kind::array: {
            out += '[';
            bool first = true;
            for (const JsonValue& item : value.items()) {
                if (!first) out += ',';
                first = false;
                append_json(out, item);
            }
            out += ']';
            break;
        }
        case JsonValue::Kind::object: {
            out += '{';
            bool first = true;
            for (const auto& [key, member] : value.members()) {
                if (!first) out += ',';
                first = false;
                append_json_string(out, key);
                out += ':';
                append_json(out, member);
            }
            out += '}';
            break;
        }
    }
}

std::string to_json(const JsonValue& value) {
    std::string out;
    append_json(out, value);
    return out;
}

std::optional<std::string> find_non_finite(const JsonValue& value) {
    switch (value.kind()) {
        case JsonValue::Kind::number:
            if (!std::isfinite(value.as_number())) return std::string();
            return std::nullopt;
        case JsonValue::Kind::array:
            for (std::size_t i = 0; i < value.items().size(); ++i) {
                if (auto inner = find_non_finite(value.items()[i])) {
                    // append, not literal + string: g++ 12 at -O3 warns (-Wrestrict) about the latter wrongly
                    return std::string("[").append(std::to_string(i)).append("]").append(*inner);
                }
            }
            return std::nullopt;
        case JsonValue::Kind::object:
            for (const auto& [key, member] : value.members()) {
                if (auto inner = find_non_finite(member)) return std::string(".").append(key).append(*inner);
            }
            return std::nullopt;
        default: return std::nullopt;
    }
}

}  // namespace tarkeep::data
