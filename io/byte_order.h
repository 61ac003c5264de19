// Integers in a byte buffer: the little-endian fields of the archive, texture and deflate
// formats, the big-endian ones of PNG and zlib, and whole words at any address.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tarkeep::io {

// A word of the machine's own byte order from any address; one load where alignment is free.
template <class Word>
inline Word load_unaligned(const std::uint8_t* p) {
    Word value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

inline void store_unaligned(std::uint8_t* p, std::uint64_t value) { std::memcpy(p, &value, sizeof value); }

inline std::uint16_t load_le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

inline std::uint32_t load_le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

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

inline std::uint32_t load_be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | std::uint32_t{p[3]};
}

inline void append_le16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void append_le32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    append_le16(out, value & 0xFFFF);
    append_le16(out, value >> 16);
}

inline void append_be32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace tarkeep::io
