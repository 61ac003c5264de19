// Loads and stores of whole words at any address: in little-endian order for the checksum and
// inflate bit readers, in the machine's own order where only equality or a hash matters.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>

namespace tarkeep::io {

// A word of the machine's own byte order from any address; one load where alignment is free.
template <class Word>
inline Word load_unaligned(const std::uint8_t* p) {
    Word value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

inline void store_unaligned(std::uint8_t* p, std::uint64_t value) { std::memcpy(p, &value, sizeof value); }

// Eight little-endian bytes as one word; a single load on little-endian machines.
inline std::uint64_t load64_le(const std::uint8_t* p) {
    if constexpr (std::endian::native == std::endian::little) {
        return load_unaligned<std::uint64_t>(p);
    } else {
        std::uint64_t value = 0;
        for (int i = 7; i >= 0; --i) value = (value << 8) | p[i];
        return value;
    }
}

}  // namespace tarkeep::io
