#include "data/ddf_value.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace tarkeep::data {

DdfValue DdfValue::boolean(bool value) {
    DdfValue v;
    v.kind = DdfKind::Bool;
    v.flag = value;
    return v;
}

DdfValue DdfValue::int_value(std::int64_t value) {
    DdfValue v;
    v.kind = DdfKind::Int;
    v.integer = value;
    return v;
}

DdfValue DdfValue::float_value(double value) {
    DdfValue v;
    v.kind = DdfKind::Float;
    v.real = value;
    return v;
}

DdfValue DdfValue::string(std::string value) {
    DdfValue v;
    v.kind = DdfKind::String;
    v.text = std::move(value);
    return v;
}

DdfValue DdfValue::block() {
    DdfValue v;
    v.kind = DdfKind::Block;
    return v;
}

DdfValue DdfValue::list(std::vector<DdfValue> items) {
    DdfValue v;
    v.kind = DdfKind::List;
    v.items = std::move(items);
    return v;
}

bool DdfValue::truthy() const {
    switch (kind) {
        case DdfKind::None: return false;
        case DdfKind::Bool: return flag;
        case DdfKind::Int: return integer != 0;
        case DdfKind::Float: return real != 0.0;
        case DdfKind::String: return !text.empty();
        case DdfKind::Block: return !entries.empty();
        case DdfKind::List: return !items.empty();
    }
    return false;
}

const DdfValue* DdfValue::find(std::string_view key) const {
    for (const auto& [k, v] : entries) {
        if (k == key) return &v;
    }
    return nullptr;
}

DdfValue* DdfValue::find(std::string_view key) {
    for (auto& [k, v] : entries) {
        if (k == key) return &v;
    }
    return nullptr;
}

void DdfValue::set(std::string_view key, DdfValue value) {
    if (DdfValue* existing = find(key)) {
        *existing = std::move(value);
    } else {
        entries.emplace_back(std::string(key), std::move(value));
    }
}

bool operator==(const DdfValue& a, const DdfValue& b) {
    if (a.kind != b.kind) return false;
    switch (a.kind) {
        case DdfKind::None: return true;
        case DdfKind::Bool: return a.flag == b.flag;
        case DdfKind::Int: return a.integer == b.integer;
        case DdfKind::Float: return std::memcmp(&a.real, &b.real, sizeof a.real) == 0;
        case DdfKind::String: return a.text == b.text;
        case DdfKind::Block: return a.entries == b.entries;
        case DdfKind::List: return a.items == b.items;
    }
    return false;
}

namespace {

void append_length_prefixed(std::string& out, char tag, std::string_view bytes) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%c%zu:", tag, bytes.size());
    out += buffer;
    out += bytes;
}

void append_key(std::string& out, const DdfValue& value) {
    char buffer[32];
    switch (value.kind) {
        case DdfKind::None: out += 'N'; return;
        case DdfKind::Bool: out += value.flag ? 'T' : 'F'; return;
        case DdfKind::Int:
            std::snprintf(buffer, sizeof buffer, "i%" PRId64 ";", value.integer);
            out += buffer;
            return;
        case DdfKind::Float: {
            std::uint64_t bits = 0;
            std::memcpy(&bits, &value.real, sizeof bits);
            std::snprintf(buffer, sizeof buffer, "f%016" PRIx64, bits);
            out += buffer;
            return;
        }
        case DdfKind::String: append_length_prefixed(out, 's', value.text); return;
        case DdfKind::Block:
            out += '{';
            for (const auto& [k, v] : value.entries) {
                append_length_prefixed(out, 'k', k);
                append_key(out, v);
            }
            out += '}';
            return;
        case DdfKind::List:
            out += '[';
            for (const DdfValue& item : value.items) append_key(out, item);
            out += ']';
            return;
    }
}

}  // namespace

std::string value_key(const DdfValue& value) {
    std::string out;
    append_key(out, value);
    return out;
}

std::string display_text(const DdfValue& value) {
    switch (value.kind) {
        case DdfKind::None: return "None";
        case DdfKind::Bool: return value.flag ? "True" : "False";
        case DdfKind::Int: return std::to_string(value.integer);
        case DdfKind::String: return value.text;
        default: return value_key(value);
    }
}

}  // namespace tarkeep::data
