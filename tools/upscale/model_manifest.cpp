// The manifest of the model and UI HD caches.
#include "tools/upscale/model_manifest.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/cmdline.h"
#include "platform/file_bytes.h"
#include "platform/files.h"
#include "tools/upscale/cache_keys.h"

namespace tarkeep::upscale {
bool is_ui_record(const ModelManifestRecord& record) { return record.settings.rfind(kUiSettingsPrefix, 0) == 0; }

ModelManifest read_model_manifest(const std::filesystem::path& path) {
    ModelManifest manifest;
    std::ifstream in(platform::stream_path(path), std::ios::binary);
    std::string line;
    if (!in || !read_manifest_line(in, line) || line != kModelManifestHeader) return manifest;
    while (read_manifest_line(in, line)) {
        std::istringstream fields(line);
        std::string stem;
        ModelManifestRecord r;
        if (fields >> stem >> r.hash >> r.model >> r.settings >> r.width >> r.height >> r.factor) {
            r.model = unescape_manifest_field(r.model);
            r.settings = unescape_manifest_field(r.settings);
            manifest[unescape_manifest_field(stem)] = std::move(r);
        }
    }
    return manifest;
}

void write_model_manifest(const std::filesystem::path& path, const ModelManifest& manifest) {
    std::string text = std::string(kModelManifestHeader) + "\n";
    for (const auto& [stem, r] : manifest) {
        text += escape_manifest_field(stem) + " " + r.hash + " " + escape_manifest_field(r.model) + " " +
                escape_manifest_field(r.settings) + " " + std::to_string(r.width) + " " + std::to_string(r.height) +
                " " + std::to_string(r.factor) + "\n";
    }
    platform::write_file_atomic(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::string model_source_hash(std::span<const std::uint8_t> texture, std::span<const std::uint8_t> mask) {
    Fnv1a64 hash;
    hash.update(texture);
    std::uint8_t length[8];
    std::uint64_t size = mask.size();
    for (std::uint8_t& byte : length) {
        byte = static_cast<std::uint8_t>(size & 0xFF);
        size >>= 8;
    }
    hash.update(length);
    hash.update(mask);
    return hash_hex(hash.value());
}

namespace {

std::string terrain_folder_problem(const std::filesystem::path& cache_dir) {
    return "cache folder " + platform::path_to_utf8(cache_dir) +
           " holds a terrain manifest; use another folder for model and UI textures";
}

std::string missing_manifest_warning(const std::filesystem::path& cache_dir) {
    return "warning: " + platform::path_to_utf8(cache_dir) +
           " holds no model texture manifest: no HD textures, the game's own are used\n";
}

}  // namespace

std::string foreign_manifest_problem(const std::filesystem::path& cache_dir) {
    return cache_family(cache_dir) == CacheFamily::terrain ? terrain_folder_problem(cache_dir) : std::string();
}

std::string no_model_manifest_warning(const std::filesystem::path& cache_dir) {
    return cache_family(cache_dir) == CacheFamily::models ? std::string() : missing_manifest_warning(cache_dir);
}

bool hd_cache_readable(const std::filesystem::path& cache_dir) {
    const CacheFamily family = cache_family(cache_dir);
    if (family == CacheFamily::terrain) {
        std::fprintf(stderr, "%s\n", terrain_folder_problem(cache_dir).c_str());
        return false;
    }
    if (family == CacheFamily::none) std::fputs(missing_manifest_warning(cache_dir).c_str(), stderr);
    return true;
}

}  // namespace tarkeep::upscale
