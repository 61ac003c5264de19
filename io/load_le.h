// Little-endian loads of whole words, shared by the checksum and inflate code.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>

namespace tarkeep::io {

// Eight little-endian bytes as one word; a single load on little-endian machines.
inline std::uint64_t load64_le(const std::uint8_t* p) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t value;
        std::memcpy(&value, p, sizeof value);
        return value;
    } else {
        std::uint64_t value = 0;
        for (int i = 7; i >= 0; --i) value = (value << 8) | p[i];
        return value;
    }
}

}  // namespace tarkeep::io
