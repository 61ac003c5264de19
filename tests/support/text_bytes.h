// Text as the bytes of a file or a stream, for fixtures written in words.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

namespace tarkeep::test {

inline std::vector<std::uint8_t> bytes_of(std::string_view text) { return {text.begin(), text.end()}; }

}  // namespace tarkeep::test
