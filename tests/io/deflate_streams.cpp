#include "tests/io/deflate_streams.h"

#include <array>

namespace tarkeep::test {

std::vector<std::uint32_t> canonical_codes(const std::vector<std::uint8_t>& lengths) {
    std::array<std::uint32_t, 16> count{};
    for (auto length : lengths) ++count[length];
    count[0] = 0;
    std::array<std::uint32_t, 16> next{};
    std::uint32_t code = 0;
    for (unsigned len = 1; len < 16; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    std::vector<std::uint32_t> codes(lengths.size());
    for (std::size_t i = 0; i < lengths.size(); ++i)
        if (lengths[i] != 0) codes[i] = next[lengths[i]]++;
    return codes;
}

void write_dynamic_header(DeflateBitWriter& writer, bool final_block, const std::vector<std::uint8_t>& literal_lengths,
                          const std::vector<std::uint8_t>& distance_lengths) {
    writer.bits(final_block ? 1 : 0, 1);
    writer.bits(2, 2);
    writer.bits(static_cast<std::uint32_t>(literal_lengths.size() - 257), 5);
    writer.bits(static_cast<std::uint32_t>(distance_lengths.size() - 1), 5);
    writer.bits(19 - 4, 4);
    for (int i = 0; i < 19; ++i) writer.bits(5, 3);
    for (auto length : literal_lengths) writer.code(length, 5);
    for (auto length : distance_lengths) writer.code(length, 5);
}

std::vector<std::uint8_t> expanding_stream(std::size_t repeats) {
    std::vector<std::uint8_t> literal(286, 0);
    literal['a'] = 1;
    literal[256] = 2;
    literal[285] = 2;
    const std::vector<std::uint8_t> distance = {1};
    const auto codes = canonical_codes(literal);
    DeflateBitWriter writer;
    write_dynamic_header(writer, true, literal, distance);
    writer.code(codes['a'], 1);
    for (std::size_t i = 0; i < repeats; ++i) {
        writer.code(codes[285], 2);
        writer.code(0, 1);
    }
    writer.code(codes[256], 2);
    return writer.finish();
}

}  // namespace tarkeep::test
