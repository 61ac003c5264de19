// The value of a definition file or table cell: none, boolean, number, string, block or list.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarkeep::data {

enum class DdfKind : std::uint8_t { none = 0, boolean = 1, integer = 2, floating = 3, string = 4, block = 5, list = 6 };

// A value of a definition file or table cell. Only the field of its kind is meaningful.
struct DdfValue {
    DdfKind kind = DdfKind::none;
    bool flag = false;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string text;
    std::vector<std::pair<std::string, DdfValue>> entries;  // Block, insertion order
    std::vector<DdfValue> items;                            // List

    static DdfValue none() { return {}; }
    static DdfValue boolean(bool value);
    static DdfValue int_value(std::int64_t value);
    static DdfValue float_value(double value);
    static DdfValue string(std::string value);
    static DdfValue block();
    static DdfValue list(std::vector<DdfValue> items = {});

    bool is(DdfKind k) const { return kind == k; }

    // None is false; bool its flag; numbers non-zero; string, block and list non-empty.
    bool truthy() const;

    // Block lookup by exact key, first match; nullptr when absent or not a block.
    const DdfValue* find(std::string_view key) const;
    DdfValue* find(std::string_view key);

    // Replaces the value of the first entry with this key, or appends a new entry.
    void set(std::string_view key, DdfValue value);

    friend bool operator==(const DdfValue&, const DdfValue&);
};

// Canonical text of a value: equal values give equal keys, different values different
// keys (floats compared by bit pattern).
std::string value_key(const DdfValue& value);

// How the value reads as a name: "None", "True"/"False", the integer in decimal, the
// string itself; floats, blocks and lists read as their value_key.
std::string display_text(const DdfValue& value);

}  // namespace tarkeep::data
