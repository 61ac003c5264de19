#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <string>

namespace tarkeep::upscale {

// From which source bytes, model and settings one stored model or UI HD image
// was made.
struct ModelManifestRecord {
    std::string hash;
    std::string model;
    std::string settings;
    std::uint32_t width = 0;  // of the stored HD image
    std::uint32_t height = 0;
    std::uint32_t factor = 0;

    bool operator==(const ModelManifestRecord&) const = default;
};

using ModelManifest = std::map<std::string, ModelManifestRecord>;

inline constexpr const char* kModelManifestHeader = "tarkeep-model-hd 1";

// The model and UI pipelines share one manifest; the UI pipeline's settings
// begin with this, so that each build removes only its own records.
inline constexpr const char* kUiSettingsPrefix = "ui-";
bool is_ui_record(const ModelManifestRecord& record);

// A missing file, or one whose first line is not the current header, gives no
// records; lines without all seven fields are skipped.
ModelManifest read_model_manifest(const std::filesystem::path& path);

// The header and one line per record in stem order, written atomically.
void write_model_manifest(const std::filesystem::path& path, const ModelManifest& manifest);

// FNV-1a over the texture, the mask's length as 8 little-endian bytes, and the
// mask (empty when there is none), as 16 hexadecimal digits.
std::string model_source_hash(std::span<const std::uint8_t> texture, std::span<const std::uint8_t> mask);

// Why the cache folder must not take a model manifest, empty when it may: the
// terrain pipeline keeps a manifest of the same file name there, which would be
// overwritten.
std::string foreign_manifest_problem(const std::filesystem::path& cache_dir);

// The warning line of a command that reads HD textures from `cache_dir` when the folder
// holds no model manifest (a mistyped folder, or another pipeline's), empty when it does.
std::string no_model_manifest_warning(const std::filesystem::path& cache_dir);

// For a command that reads HD textures from `cache_dir`, with one look at its manifest:
// false after the foreign manifest problem (a terrain folder); else true, after the warning
// line when the folder holds no model manifest.
bool hd_cache_readable(const std::filesystem::path& cache_dir);

}  // namespace tarkeep::upscale
