// The sample game program's report, and finding archives it did not write.
#include "tools/sample_game/sample_report.h"

#include <algorithm>

#include "data/text_lines.h"
#include "platform/files.h"

namespace tarkeep::sample_game {

std::vector<std::string> foreign_archives(const std::filesystem::path& zips,
                                          const sample_game::SampleGameSummary& summary) {
    std::vector<std::string> foreign;
    for (const platform::FolderEntry& entry : platform::list_folder(zips)) {
        std::string name = entry.path.filename().string();
        const std::string lower = data::ascii_lower(name);
        const bool ours = std::any_of(summary.archives.begin(), summary.archives.end(),
                                      [&](const sample_game::SampleArchive& archive) { return archive.name == name; });
        if (lower.ends_with(".zip") && !ours) foreign.push_back(std::move(name));
    }
    std::sort(foreign.begin(), foreign.end());
    return foreign;
}

void print_sample_report(std::FILE* out, const std::filesystem::path& zips,
                         const sample_game::SampleGameOptions& options, const sample_game::SampleGameSummary& s,
                         double seconds) {
    std::uint64_t total = 0;
    for (const auto& archive : s.archives) total += archive.bytes;
    std::fprintf(out, "sample game (size %s, seed %llu) in %s\n",
                 std::string(sample_game::sample_size_name(options.size)).c_str(),
                 static_cast<unsigned long long>(options.seed), zips.string().c_str());
    std::fprintf(out, "%zu archives, %.1f MB:\n", s.archives.size(), total / 1048576.0);
    for (const auto& archive : s.archives) {
        std::fprintf(out, "  %-12s %4zu entries %8.1f KB\n", archive.name.c_str(), archive.entries,
                     archive.bytes / 1024.0);
    }
    std::fprintf(out,
                 "terrain: %zu textures (%zu DXT5, %zu overridden by a later archive), %u-%u px, %.2f Mpx at mip 0; "
                 "%zu terrain types and %zu seasonal sets over 3 climates\n",
                 s.terrain_textures, s.terrain_dxt5, s.terrain_overridden, s.terrain_min_side, s.terrain_max_side,
                 s.terrain_mip0_pixels / 1e6, s.terrain_types, s.seasonal_sets);
    std::fprintf(out, "models: %zu textures, %zu player-colour masks, %zu patches, %zu models, %zu animations\n",
                 s.model_textures, s.masks, s.patches, s.models, s.animations);
    std::fprintf(out, "ui: %zu sheets, %zu sprites; database: %zu definition files, %zu unit models\n", s.ui_sheets,
                 s.sprites, s.definition_files, s.unit_models);
    std::fprintf(out, "done in %.2f s\n", seconds);
}

}  // namespace tarkeep::sample_game
