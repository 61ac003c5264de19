// Little-endian writer and reader of message fields.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarkeep::net {

using Bytes = std::vector<std::uint8_t>;

// Appends little-endian primitives to one growing byte string. Length limits are the
// message encoder's business, so writing never fails.
class ByteWriter {
public:
    void write_u8(std::uint8_t value) { bytes_.push_back(value); }
    void write_u16(std::uint16_t value) { write_unsigned(value, 2); }
    void write_u32(std::uint32_t value) { write_unsigned(value, 4); }
    void write_u64(std::uint64_t value) { write_unsigned(value, 8); }
    void write_i64(std::int64_t value) { write_unsigned(static_cast<std::uint64_t>(value), 8); }
    void write_bool(bool value) { bytes_.push_back(value ? 1 : 0); }
    // Byte count as u32, then the bytes as they are.
    void write_string(std::string_view text);
    void write_bytes(std::span<const std::uint8_t> data);
    // The low `width` bytes of `value`, least significant first. Inline: the encoder
    // calls this for nearly every field.
    void write_unsigned(std::uint64_t value, int width) {
        std::uint8_t little_endian[8];
        for (int i = 0; i < width; ++i) little_endian[i] = static_cast<std::uint8_t>(value >> (8 * i));
        bytes_.insert(bytes_.end(), little_endian, little_endian + width);
    }

    void reserve(std::size_t size) { bytes_.reserve(size); }
    const Bytes& bytes() const { return bytes_; }
    Bytes take() { return std::move(bytes_); }

private:
    Bytes bytes_;
};

// A forward-only view over one received message body. Failures are std::runtime_error
// with the fixed "bytes: ..." texts; the message decoder rewraps them.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::uint64_t size) : data_(data), size_(size) {}
    explicit ByteReader(std::span<const std::uint8_t> data) : ByteReader(data.data(), data.size()) {}

    void require(std::uint64_t count) const {
        if (count > remaining()) throw_truncated();
    }
    std::uint8_t read_u8() {
        require(1);
        return data_[position_++];
    }
    std::uint16_t read_u16() { return static_cast<std::uint16_t>(read_unsigned(2)); }
    std::uint32_t read_u32() { return static_cast<std::uint32_t>(read_unsigned(4)); }
    std::uint64_t read_u64() { return read_unsigned(8); }
    std::int64_t read_i64() { return static_cast<std::int64_t>(read_unsigned(8)); }
    bool read_bool();
    // The length is checked against `max_bytes` before the bytes are looked for, so an
    // absurd prefix is reported as too long rather than truncated.
    std::string read_string(std::uint64_t max_bytes);
    Bytes read_bytes(std::uint64_t max_bytes);
    void finish() const;

    std::uint64_t position() const { return position_; }
    std::uint64_t remaining() const { return size_ - position_; }

private:
    [[noreturn]] static void throw_truncated();
    std::uint64_t read_unsigned(int width) {
        require(static_cast<std::uint64_t>(width));
        std::uint64_t value = 0;
        for (int i = 0; i < width; ++i) value |= static_cast<std::uint64_t>(data_[position_ + i]) << (8 * i);
        position_ += static_cast<std::uint64_t>(width);
        return value;
    }
    std::uint32_t read_length(std::uint64_t max_bytes);

    const std::uint8_t* data_;
    std::uint64_t size_;
    std::uint64_t position_ = 0;
};

}  // namespace tarkeep::net
