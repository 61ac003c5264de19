// Definition values: construction, block lookup, equality, canonical keys and display text.
#include "data/ddf_value.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace tarkeep::data {

DdfValue DdfValue::boolean(bool value) {
    DdfValue v;
    v.kind = DdfKind::boolean;
    v.flag = value;
    return v;
}

DdfValue DdfValue::int_value(std::int64_t value) {
    DdfValue v;
    v.kind = DdfKind::integer;
    v.integer = value;
    return v;
}

DdfValue DdfValue::float_value(double value) {
    DdfValue v;
    v.kind = DdfKind::floating;
    v.real = value;
    return v;
}

DdfValue DdfValue::string(std::string value) {
    DdfValue v;
    v.kind = DdfKind::string;
    v.text = std::move(value);
    return v;
}

DdfValue DdfValue::block() {
    DdfValue v;
    v.kind = DdfKind::block;
    return v;
}

DdfValue DdfValue::list(std::vector<DdfValue> items) {
    DdfValue v;
    v.kind = DdfKind::list;
    v.items = std::move(items);
    return v;
}

bool DdfValue::truthy() const {
    switch (kind) {
        case DdfKind::none: return false;
        case DdfKind::boolean: return flag;
        case DdfKind::integer: return integer != 0;
        case DdfKind::floating: return real != 0.0;
        case DdfKind::string: return !text.empty();
        case DdfKind::block: return !entries.empty();
        case DdfKind::list: return !items.empty();
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
        case DdfKind::none: return true;
        case DdfKind::boolean: return a.flag == b.flag;
        case DdfKind::integer: return a.integer == b.integer;
        case DdfKind::floating: return std::memcmp(&a.real, &b.real, sizeof a.real) == 0;
        case DdfKind::string: return a.text == b.text;
        case DdfKind::block: return a.entries == b.entries;
        case DdfKind::list: return a.items == b.items;
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
        case DdfKind::none: out += 'N'; return;
        case DdfKind::boolean: out += value.flag ? 'T' : 'F'; return;
        case DdfKind::integer:
            std::snprintf(buffer, sizeof buffer, "i%" PRId64 ";", value.integer);
            out += buffer;
            return;
        case DdfKind::floating: {
            std::uint64_t bits = 0;
            std::memcpy(&bits, &value.real, sizeof bits);
            std::snprintf(buffer, sizeof buffer, "f%016" PRIx64, bits);
            out += buffer;
            return;
        }
        case DdfKind::string: append_length_prefixed(out, 's', value.text); return;
        case DdfKind::block:
            out += '{';
            for (const auto& [k, v] : value.entries) {
                append_length_prefixed(out, 'k', k);
                append_key(out, v);
            }
            out += '}';
            return;
        case DdfKind::list:
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
        case DdfKind::none: return "None";
        case DdfKind::boolean: return value.flag ? "True" : "False";
        case DdfKind::integer: return std::to_string(value.integer);
        case DdfKind::string: return value.text;
        default: return value_key(value);
    }
}

}  // namespace tarkeep::data
