// Source hashes and settings strings for the cache manifests.
#include "tools/upscale/cache_keys.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/cmdline.h"
#include "platform/files.h"

namespace tarkeep::upscale {

std::filesystem::path cache_file(const std::filesystem::path& cache_dir, const std::string& name) {
    return cache_dir / platform::path_from_utf8(name);
}
namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

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

CacheFamily cache_family(const std::filesystem::path& cache_dir) {
    std::ifstream in(platform::stream_path(cache_dir / "manifest.txt"), std::ios::binary);
    std::string line;
    if (!in || !read_manifest_line(in, line)) return CacheFamily::none;
    // The version after the family name may grow; the family never changes.
    if (line.rfind("tarkeep-terrain-hd", 0) == 0) return CacheFamily::terrain;
    if (line.rfind("tarkeep-model-hd", 0) == 0) return CacheFamily::models;
    return CacheFamily::none;
}

std::string escape_manifest_field(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7f || c == '%') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string unescape_manifest_field(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? hex_digit(text[i + 1]) : -1;
        const int low = high >= 0 ? hex_digit(text[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace tarkeep::upscale
