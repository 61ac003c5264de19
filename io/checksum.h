// The checksums of the archive and image formats: CRC-32 (zip, PNG) and Adler-32 (zlib).
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarkeep::io {

// CRC-32 with the reflected polynomial 0xEDB88320 (zip, PNG). `previous` continues a
// running checksum, so crc32(b, crc32(a)) == crc32(a + b); 0 for an empty range.
std::uint32_t crc32(std::span<const std::uint8_t> data, std::uint32_t previous = 0);

// Adler-32 of zlib streams; `previous` continues a running checksum (start value 1).
std::uint32_t adler32(std::span<const std::uint8_t> data, std::uint32_t previous = 1);

}  // namespace tarkeep::io
