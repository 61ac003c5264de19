// Strings, byte blocks and failures of the little-endian byte codec.
#include "net/byte_codec.h"

#include <stdexcept>

namespace tarkeep::net {

void ByteWriter::write_string(std::string_view text) {
    write_u32(static_cast<std::uint32_t>(text.size()));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
}

void ByteWriter::write_bytes(std::span<const std::uint8_t> data) {
    write_u32(static_cast<std::uint32_t>(data.size()));
    bytes_.insert(bytes_.end(), data.begin(), data.end());
}

void ByteReader::throw_truncated() { throw std::runtime_error("bytes: truncated data"); }

bool ByteReader::read_bool() {
    const std::uint8_t value = read_u8();
    if (value >= 2) throw std::runtime_error("bytes: invalid boolean");
    return value != 0;
}

std::uint32_t ByteReader::read_length(std::uint64_t max_bytes) {
    const std::uint32_t length = read_u32();
    if (length > max_bytes) throw std::runtime_error("bytes: string too long");
    require(length);
    return length;
}

std::string ByteReader::read_string(std::uint64_t max_bytes) {
    const std::uint32_t length = read_length(max_bytes);
    std::string text(reinterpret_cast<const char*>(data_ + position_), length);
    position_ += length;
    return text;
}

Bytes ByteReader::read_bytes(std::uint64_t max_bytes) {
    const std::uint32_t length = read_length(max_bytes);
    Bytes data(data_ + position_, data_ + position_ + length);
    position_ += length;
    return data;
}

void ByteReader::finish() const {
    if (position_ != size_) throw std::runtime_error("bytes: trailing data");
}

}  // namespace tarkeep::net
