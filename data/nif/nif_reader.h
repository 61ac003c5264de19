// The bounds-checked byte cursor that every NIF block reader reads through.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "data/nif/nif_types.h"

namespace tarkeep::data {

static_assert(std::endian::native == std::endian::little,
              "NIF values are copied straight from little-endian file bytes");

// Bounds-checked cursor over the bytes of one NIF file. Every read checks that enough
// bytes remain and throws NifError("read past end at <position>") otherwise; counted runs
// are checked as a whole before anything is allocated.
class NifReader {
public:
    explicit NifReader(std::span<const std::uint8_t> data, std::uint32_t version = kNifVersion10_1_0_0)
        : data_(data), version_(version) {}

    std::size_t position() const { return position_; }
    std::size_t size() const { return data_.size(); }
    std::size_t remaining() const { return data_.size() - position_; }
    std::span<const std::uint8_t> bytes() const { return data_; }

    // The file version; two block layouts depend on it.
    std::uint32_t version() const { return version_; }
    void set_version(std::uint32_t version) { version_ = version; }

    void require(std::size_t bytes) const {
        if (bytes > remaining()) fail_past_end();
    }
    // Fails unless `count` elements of at least `min_element_bytes` each can still follow.
    void require_elements(std::uint64_t count, std::size_t min_element_bytes) const {
        if (min_element_bytes != 0 && count > remaining() / min_element_bytes) fail_past_end();
    }
    void skip(std::size_t bytes) {
        require(bytes);
        position_ += bytes;
    }

    // A fixed-size value whose memory layout is its file layout.
    template <class T>
    T value() {
        static_assert(std::is_trivially_copyable_v<T>);
        require(sizeof(T));
        T result;
        std::memcpy(&result, data_.data() + position_, sizeof(T));
        position_ += sizeof(T);
        return result;
    }

    // `count` fixed-size values, bounds-checked as one run.
    template <class T>
    std::vector<T> values(std::uint64_t count) {
        static_assert(std::is_trivially_copyable_v<T>);
        require_elements(count, sizeof(T));
        std::vector<T> result(static_cast<std::size_t>(count));
        const std::size_t bytes = result.size() * sizeof(T);
        if (bytes != 0) std::memcpy(result.data(), data_.data() + position_, bytes);
        position_ += bytes;
        return result;
    }

    template <class T, std::size_t N>
    void values_into(std::array<T, N>& out) {
        out = value<std::array<T, N>>();
    }

    std::uint8_t u8() { return value<std::uint8_t>(); }
    std::uint16_t u16() { return value<std::uint16_t>(); }
    std::uint32_t u32() { return value<std::uint32_t>(); }
    std::int32_t i32() { return value<std::int32_t>(); }
    float f32() { return value<float>(); }
    bool bool8() { return u8() != 0; }
    NifRef ref() { return value<NifRef>(); }

    // u32 length (at most 100000), then that many bytes.
    std::string string();
    // u32 count, then that many signed 32-bit references.
    std::vector<NifRef> ref_list();
    // u32 count, then that many u32.
    std::vector<std::uint32_t> u32_list();

    static constexpr std::uint32_t kMaxStringLength = 100000;

private:
    [[noreturn]] void fail_past_end() const;

    std::span<const std::uint8_t> data_;
    std::size_t position_ = 0;
    std::uint32_t version_;
};

}  // namespace tarkeep::data
