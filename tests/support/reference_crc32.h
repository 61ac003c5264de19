// Plain bitwise CRC-32 (zip polynomial), independent of the product's implementation.
#pragma once
#include <cstdint>

namespace tarkeep::test {

template <class Bytes>
std::uint32_t reference_crc32(const Bytes& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (auto byte : data) {
        crc ^= static_cast<unsigned char>(byte);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

}  // namespace tarkeep::test
