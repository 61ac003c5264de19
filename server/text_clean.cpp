// Cleaning client text and cutting it on character boundaries.
#include "server/text_clean.h"

namespace tarkeep::server {
namespace {

bool is_continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

std::string cut_utf8(std::string_view text, std::size_t max_bytes) {
    if (text.size() <= max_bytes) return std::string(text);
    std::size_t cut = max_bytes;
    while (cut > 0 && is_continuation(text[cut])) --cut;
    return std::string(text.substr(0, cut));
}

std::string clean_text(std::string_view text, std::size_t max_bytes) {
    std::string kept;
    kept.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127) continue;
        if (byte == ' ' && kept.empty()) continue;
        kept.push_back(c);
    }
    std::string result = cut_utf8(kept, max_bytes);
    while (!result.empty() && result.back() == ' ') result.pop_back();
    return result;
}

}  // namespace tarkeep::server
