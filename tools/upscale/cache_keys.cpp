// Source hashes and settings strings for the cache manifests.
#include "tools/upscale/cache_keys.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "data/text_lines.h"
#include "platform/cmdline.h"
#include "platform/files.h"

namespace tarkeep::upscale {

namespace {

// On Windows "con.png" (or "nul.x.png", in any case) opens a device, not a file.
bool is_windows_device_name(std::string_view stem) {
    const std::string base = data::ascii_lower(stem.substr(0, stem.find('.')));
    if (base == "con" || base == "prn" || base == "aux" || base == "nul") return true;
    return base.size() == 4 && (base.starts_with("com") || base.starts_with("lpt")) && base[3] >= '1' && base[3] <= '9';
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::filesystem::path cache_file(const std::filesystem::path& cache_dir, const std::string& name) {
    return cache_dir / platform::path_from_utf8(name);
}

std::string stem_problem(std::string_view stem) {
    if (stem.empty()) return "is empty";
    if (stem == "." || stem == "..") return "is a relative folder";
    for (const char c : stem) {
        if (c == '/' || c == '\\' || c == ':') return "holds a path separator";
        if (static_cast<unsigned char>(c) < ' ' || c == 0x7f) return "holds a control byte";
        if (std::string_view("<>\"|?*").find(c) != std::string_view::npos) return "holds a character Windows refuses";
    }
    if (is_windows_device_name(stem)) return "is a Windows device name";
    return {};
}

bool usable_file_name(const std::string& name) {
    const std::string problem = stem_problem(name);
    if (!problem.empty())
        std::fprintf(stderr, "warning: texture name \"%s\" %s: skipped\n", name.c_str(), problem.c_str());
    return problem.empty();
}

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
