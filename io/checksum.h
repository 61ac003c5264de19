// The checksums of the archive and image formats, CRC-32 (zip, PNG) and Adler-32 (zlib), and the
// FNV-1a hash the caches and the NIF block registry key on.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tarkeep::io {

// CRC-32 with the reflected polynomial 0xEDB88320 (zip, PNG). `previous` continues a
// running checksum, so crc32(b, crc32(a)) == crc32(a + b); 0 for an empty range.
std::uint32_t crc32(std::span<const std::uint8_t> data, std::uint32_t previous = 0);

// Adler-32 of zlib streams; `previous` continues a running checksum (start value 1).
std::uint32_t adler32(std::span<const std::uint8_t> data, std::uint32_t previous = 1);

// 64-bit FNV-1a (standard offset basis and prime), fed in pieces.
class Fnv1a64 {
public:
    void update(std::span<const std::uint8_t> bytes) {
        for (std::uint8_t b : bytes) hash_ = (hash_ ^ b) * 0x100000001b3ULL;
    }
    void update(std::string_view text) {
        for (char c : text) hash_ = (hash_ ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    }
    std::uint64_t value() const { return hash_; }

private:
    std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

}  // namespace tarkeep::io
