// Little-endian integers appended to a byte buffer, as the archive and texture writers lay them out.
#pragma once
#include <cstdint>
#include <vector>

namespace tarkeep::io {

inline void append_le16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void append_le32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    append_le16(out, value & 0xFFFF);
    append_le16(out, value >> 16);
}

}  // namespace tarkeep::io
