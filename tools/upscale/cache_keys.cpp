// Source hashes and settings strings for the cache manifests.
#include "tools/upscale/cache_keys.h"

#include <string>

#include <cmath>
#include <cstdio>

namespace tarkeep::upscale {

std::string hash_hex(std::uint64_t hash) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string source_hash(std::span<const std::uint8_t> bytes) {
    Fnv1a64 hash;
    hash.update(bytes);
    return hash_hex(hash.value());
}

long long round_half_away(double value) { return std::llround(value); }

std::string terrain_settings_string(int margin, int passes, double strength, bool deblock, int deblock_threshold,
                                    int dering, bool tta, const std::string& upscaler_suffix) {
    std::string text = "m";
    text += std::to_string(margin);
    text += "-bp";
    text += std::to_string(passes);
    text += "x";
    text += std::to_string(round_half_away(strength * 100));
    text += "-db";
    text += std::to_string(deblock ? deblock_threshold : 0);
    if (dering >= 0) text += "-dr" + std::to_string(dering);
    if (tta) text += "-tta";
    text += upscaler_suffix;
    return text;
}

bool read_manifest_line(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

}  // namespace tarkeep::upscale
