// The JSON value type and its compact serializer.
#include "data/gltf/json_value.h"

#include <charconv>
#include <cmath>
#include <utility>

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

namespace {

// Child `index` of an array or object.
const JsonValue& child_at(const JsonValue& container, std::size_t index) {
    return container.kind() == JsonValue::Kind::object ? container.members()[index].second : container.items()[index];
}

bool is_container(const JsonValue& value) {
    return value.kind() == JsonValue::Kind::array || value.kind() == JsonValue::Kind::object;
}

// An array or object being walked, and the index of its next child. The walks below keep
// these on the heap: a value may nest deeper than one call per level would allow.
struct OpenContainer {
    const JsonValue* container;
    std::size_t next;
};

}  // namespace

JsonValue::~JsonValue() {
    if (items_.empty() && members_.empty()) return;
    // Children are taken apart one level at a time, so a deeply nested value needs no deep
    // chain of destructor calls.
    std::vector<JsonValue> pending;
    const auto take_children = [&pending](JsonValue& value) {
        for (JsonValue& item : value.items_) pending.push_back(std::move(item));
        for (Member& member : value.members_) pending.push_back(std::move(member.second));
        value.items_.clear();
        value.members_.clear();
    };
    take_children(*this);
    while (!pending.empty()) {
        JsonValue last = std::move(pending.back());
        pending.pop_back();
        take_children(last);
    }
}

void append_json(std::string& out, const JsonValue& value) {
    std::vector<OpenContainer> open;
    for (const JsonValue* at = &value;;) {
        if (at != nullptr) {
            switch (at->kind()) {
                case JsonValue::Kind::null: out += "null"; break;
                case JsonValue::Kind::boolean: out += at->as_bool() ? "true" : "false"; break;
                case JsonValue::Kind::integer: out += std::to_string(at->as_int()); break;
                case JsonValue::Kind::number: append_json_number(out, at->as_number()); break;
                case JsonValue::Kind::string: append_json_string(out, at->as_string()); break;
                case JsonValue::Kind::array: out += '['; break;
                case JsonValue::Kind::object: out += '{'; break;
            }
            if (is_container(*at)) open.push_back({at, 0});
        }
        if (open.empty()) return;
        OpenContainer& top = open.back();
        const bool is_object = top.container->kind() == JsonValue::Kind::object;
        if (top.next == top.container->size()) {
            out += is_object ? '}' : ']';
            open.pop_back();
            at = nullptr;
            continue;
        }
        if (top.next != 0) out += ',';
        if (is_object) {
            append_json_string(out, top.container->members()[top.next].first);
            out += ':';
        }
        at = &child_at(*top.container, top.next++);
    }
}

std::string to_json(const JsonValue& value) {
    std::string out;
    append_json(out, value);
    return out;
}

std::optional<std::string> find_non_finite(const JsonValue& value) {
    std::vector<OpenContainer> open;
    for (const JsonValue* at = &value;;) {
        if (at != nullptr && at->kind() == JsonValue::Kind::number && !std::isfinite(at->as_number())) {
            std::string path;
            for (const OpenContainer& level : open) {
                const std::size_t index = level.next - 1;
                if (level.container->kind() == JsonValue::Kind::object) {
                    path.append(".").append(level.container->members()[index].first);
                } else {
                    // append, not literal + string: g++ 12 at -O3 warns (-Wrestrict) about the latter wrongly
                    path.append("[").append(std::to_string(index)).append("]");
                }
            }
            return path;
        }
        if (at != nullptr && is_container(*at)) open.push_back({at, 0});
        if (open.empty()) return std::nullopt;
        OpenContainer& top = open.back();
        if (top.next == top.container->size()) {
            open.pop_back();
            at = nullptr;
            continue;
        }
        at = &child_at(*top.container, top.next++);
    }
}

}  // namespace tarkeep::data
