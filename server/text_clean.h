// Cleaning client-supplied text for storage and relay.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tarkeep::server {

// Cuts `text` to at most `max_bytes` without splitting a UTF-8 character: the character
// that would straddle the limit is dropped whole.
std::string cut_utf8(std::string_view text, std::size_t max_bytes);

// Client-supplied text made safe to store and show: control bytes (below 32, and 127)
// dropped, leading spaces removed, cut to `max_bytes` on a character boundary, trailing
// spaces removed.
std::string clean_text(std::string_view text, std::size_t max_bytes);

}  // namespace tarkeep::server
