// The processor-specific checksum paths and the portable ones beside them, so tests can run both.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarkeep::io::checksum_detail {

// CRC-32 by table lookups alone: what crc32() falls back to on processors without
// carry-less multiply.
std::uint32_t crc32_tables(std::span<const std::uint8_t> data, std::uint32_t previous);

// True when this build has the folding path and the processor runs it (asked once).
bool crc32_fold_available();

// Folds the leading multiple of 16 bytes of data (when at least 64) into the CRC
// register `state` (the inverted running value); returns how many bytes it consumed,
// 0 when it did nothing. Only to be called when crc32_fold_available().
std::size_t crc32_fold(const std::uint8_t* data, std::size_t size, std::uint32_t& state);

// Adler-32 sums of the leading multiple of 16 bytes of a run of at most 5552 bytes, added
// into a and b without the modulo; returns the bytes consumed (0 without vector support).
std::size_t adler32_vector(const std::uint8_t* data, std::size_t size, std::uint64_t& a, std::uint64_t& b);

}  // namespace tarkeep::io::checksum_detail
