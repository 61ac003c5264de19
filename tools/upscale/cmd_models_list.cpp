// --models-list: the model texture catalogue with its masks, patches, alpha, sizes and formats.
#include <cstdio>
#include <map>

#include "data/game_db.h"
#include "data/texture/dxt.h"
#include "data/unit_models.h"
#include "tools/upscale/open_game.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/model_catalogue.h"
#include "tools/upscale/progress.h"

namespace tarkeep::upscale {
namespace {

void print_counts(const char* title, const std::map<std::string, int>& counts) {
    std::printf("%s", title);
    for (const auto& [name, count] : counts) std::printf(" %s:%d", name.c_str(), count);
}

}  // namespace

int cmd_models_list(const std::filesystem::path& morv_dir, bool verbose) {
    const Stopwatch scan;
    const data::GameArchives archives = open_game_archives(morv_dir);
    const ModelCatalogue catalogue = scan_model_textures(archives, true);
    const double seconds = scan.seconds();
    int masked = 0, odd_masks = 0, patched = 0, patched_unmasked = 0, alpha = 0;
    double mpx = 0;
    std::map<std::string, int> sides, formats;
    int unreadable = 0;
    for (const auto& [stem, t] : catalogue) {
        if (report_unreadable(t)) {
            ++unreadable;
            continue;
        }
        const std::string format = data::format_name(t.format);
        if (verbose)
            std::printf("%s %ux%u %s users %d mask %ux%u patches %s alpha %d\n", stem.c_str(), t.width, t.height,
                        format.c_str(), t.users, t.mask_width, t.mask_height,
                        t.patches.empty() ? "-" : t.patches.c_str(), t.alpha ? 1 : 0);
        if (t.has_mask()) {
            ++masked;
            if (t.mask_width != t.width || t.mask_height != t.height) ++odd_masks;
        }
        if (!t.patches.empty()) {
            ++patched;
            if (!t.has_mask()) ++patched_unmasked;
        }
        alpha += t.alpha ? 1 : 0;
        mpx += static_cast<double>(t.width) * t.height / 1e6;
        ++sides[std::to_string(std::max(t.width, t.height))];
        ++formats[format];
    }
    std::printf(
        "%zu model textures (%.1f s): %d with mask (%d mask size != "
        "base), %d with patches (%d without mask), "
        "%d with alpha, %.1f Mpx\n",
        catalogue.size(), seconds, masked, odd_masks, patched, patched_unmasked, alpha, mpx);
    print_counts("max side:", sides);
    print_counts("\nformats:", formats);
    std::printf("\n");
    return unreadable > 0 ? 1 : 0;
}

int cmd_models_units(const std::filesystem::path& morv_dir) {
    const data::GameArchives archives = open_game_archives(morv_dir);
    const data::GameDb db(morv_dir / "zips" / "db.zip");
    const std::vector<data::ModelJob> jobs = data::list_model_jobs(db, archives);
    for (const data::ModelJob& job : jobs)
        std::printf("%s unit %s, %zu animations\n", job.model.c_str(), job.unit.c_str(), job.kf_files.size());
    std::printf("%zu model variants for --models-glb\n", jobs.size());
    return 0;
}

}  // namespace tarkeep::upscale
