// The reference deflate decoder that inflate is checked against, and a deflate bit writer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <stdexcept>
#include <vector>

namespace tarkeep::test {

// A deliberately plain raw-deflate decoder: one bit at a time, canonical Huffman decoding
// by code ranges, no tables. It is the oracle the fast decoder is compared with: same
// output, same output-limit stop and the same error text for every input.
struct ReferenceInflateError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::vector<std::uint8_t> reference_inflate(std::span<const std::uint8_t> compressed,
                                            std::size_t output_limit = std::numeric_limits<std::size_t>::max());

// Writes a deflate bit stream: fields least-significant bit first, Huffman codes most
// significant bit first.
class DeflateBitWriter {
public:
    void bits(std::uint32_t value, unsigned count);
    void code(std::uint32_t code, unsigned length);
    void align_to_byte();
    void byte(std::uint8_t value);
    std::vector<std::uint8_t> finish();

private:
    std::vector<std::uint8_t> bytes_;
    std::uint32_t pending_ = 0;
    unsigned pending_bits_ = 0;
};

}  // namespace tarkeep::test
