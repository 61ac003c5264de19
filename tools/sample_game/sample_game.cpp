#include "tools/sample_game/sample_game.h"
#include "platform/file_bytes.h"

#include "io/deflate.h"
#include "io/zip_writer.h"
#include "platform/files.h"
#include "tools/sample_game/sample_game_parts.h"

namespace tarkeep::sample_game {

using io::ZipWriter;
using platform::write_file;

std::optional<SampleSize> parse_sample_size(std::string_view text) {
    if (text == "small") return SampleSize::small;
    if (text == "medium") return SampleSize::medium;
    if (text == "large") return SampleSize::large;
    return std::nullopt;
}

std::string_view sample_size_name(SampleSize size) {
    switch (size) {
        case SampleSize::small: return "small";
        case SampleSize::medium: return "medium";
        case SampleSize::large: return "large";
    }
    return "small";
}

namespace {

std::vector<std::uint8_t> archive_bytes(const std::vector<parts::ArchiveFile>& files) {
    ZipWriter writer;
    for (const parts::ArchiveFile& file : files) {
        if (file.deflate && !file.bytes.empty()) {
            writer.add_deflated(file.name, io::deflate_compress(file.bytes), file.bytes);
        } else {
            writer.add_stored(file.name, file.bytes);
        }
    }
    return writer.bytes();
}

}  // namespace

SampleGameSummary write_sample_game(const std::filesystem::path& dir, const SampleGameOptions& options) {
    SampleGameSummary summary;
    parts::ArchiveSet archives;
    const parts::TerrainPlan plan = parts::plan_terrain(options.size);
    parts::add_terrain_textures(plan, options.seed, archives, summary);
    parts::add_database(plan, options.size, archives, summary);
    parts::add_unit_assets(options.size, options.seed, archives, summary);
    parts::add_ui_assets(options.size, options.seed, archives, summary);

    const std::filesystem::path zips = dir / "zips";
    platform::create_folders(zips);
    for (const auto& [name, files] : archives) {  // std::map: file-name order
        const std::vector<std::uint8_t> bytes = archive_bytes(files);
        write_file(zips / name, bytes);
        summary.archives.push_back({name, files.size(), bytes.size()});
    }
    return summary;
}

}  // namespace tarkeep::sample_game
