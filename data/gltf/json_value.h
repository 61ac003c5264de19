// A JSON value for the glTF writer and its compact serializer.
#pragma once
#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarkeep::data {

class JsonValue {
public:
    enum class Kind : std::uint8_t { null, boolean, integer, number, string, array, object };
    using Member = std::pair<std::string, JsonValue>;

    JsonValue() = default;
    JsonValue(std::nullptr_t) {}
    JsonValue(bool value) : kind_(Kind::boolean), boolean_(value) {}
    template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>) JsonValue(T value)
        : kind_(Kind::integer), integer_(static_cast<std::int64_t>(value)) {}
    JsonValue(double value) : kind_(Kind::number), number_(value) {}
    JsonValue(float value) : JsonValue(static_cast<double>(value)) {}
    JsonValue(std::string value) : kind_(Kind::string), string_(std::move(value)) {}
    JsonValue(std::string_view value) : JsonValue(std::string(value)) {}
    JsonValue(const char* value) : JsonValue(std::string(value)) {}
    JsonValue(const JsonValue&) = default;
    JsonValue(JsonValue&&) noexcept = default;
    JsonValue& operator=(const JsonValue&) = default;
    JsonValue& operator=(JsonValue&&) noexcept = default;
    // Not recursive: values of any depth are destroyed with a bounded stack.
    ~JsonValue();

    static JsonValue array() { return JsonValue(Kind::array); }
    static JsonValue object() { return JsonValue(Kind::object); }
    // An array of numbers (doubles, or integers).
    template <class T>
    static JsonValue array_of(const std::vector<T>& values) {
        JsonValue out = array();
        for (const T& value : values) out.push(value);
        return out;
    }

    Kind kind() const { return kind_; }
    bool as_bool() const { return boolean_; }
    std::int64_t as_int() const { return integer_; }
    double as_number() const { return kind_ == Kind::integer ? static_cast<double>(integer_) : number_; }
    const std::string& as_string() const { return string_; }

    // Arrays.
    JsonValue& push(JsonValue value);
    const std::vector<JsonValue>& items() const { return items_; }
    std::vector<JsonValue>& items() { return items_; }

    // Objects keep insertion order; setting an existing key replaces its value in place.
    JsonValue& set(std::string_view key, JsonValue value);
    const JsonValue* find(std::string_view key) const;
    JsonValue* find(std::string_view key);
    const std::vector<Member>& members() const { return members_; }

    // Elements of an array, members of an object, 0 otherwise.
    std::size_t size() const { return kind_ == Kind::object ? members_.size() : items_.size(); }

private:
    explicit JsonValue(Kind kind) : kind_(kind) {}

    Kind kind_ = Kind::null;
    bool boolean_ = false;
    std::int64_t integer_ = 0;
    double number_ = 0;
    std::string string_;
    std::vector<JsonValue> items_;
    std::vector<Member> members_;
};

// Compact JSON: no blanks; numbers in their shortest round-trip form with ".0" on whole
// values; every control byte and every byte from 0x80 up escaped as \u00xx.
// Non-finite numbers come out as NaN / Infinity / -Infinity, which is not JSON: callers
// that write files check with find_non_finite first. Neither walk recurses, so any depth
// serializes with a bounded stack (copying a value still recurses per level).
std::string to_json(const JsonValue& value);
void append_json(std::string& out, const JsonValue& value);
void append_json_number(std::string& out, double value);
void append_json_string(std::string& out, std::string_view text);

// The path ("[3].translation[1]") of the first NaN or infinite number, or nothing.
std::optional<std::string> find_non_finite(const JsonValue& value);

}  // namespace tarkeep::data
