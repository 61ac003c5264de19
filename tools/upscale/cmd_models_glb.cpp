// --models-glb: one game model with its textures as binary glTF, original against HD.
#include <chrono>
#include <cstdio>
#include <set>

#include "data/game_db.h"
#include "data/game_file_names.h"
#include "data/gltf/model_export.h"
#include "data/text_lines.h"
#include "data/unit_models.h"
#include "platform/cmdline.h"
#include "platform/file_bytes.h"
#include "tools/upscale/open_game.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/model_catalogue.h"
#include "tools/upscale/model_hd.h"
#include "tools/upscale/numbers.h"

namespace tarkeep::upscale {
namespace {

using Clock = std::chrono::steady_clock;

// The animation files of the model job of `variant` (any letter case, with or without
// ".nifcache").
std::vector<std::string> job_animations(const std::filesystem::path& morv_dir, const data::GameArchives& archives,
                                        const std::string& variant) {
    const std::string key(data::without_suffix(data::ascii_lower(variant), data::kModelSuffix));
    const data::GameDb db(morv_dir / "zips" / "db.zip");
    for (const data::ModelJob& job : data::list_model_jobs(db, archives)) {
        if (data::ascii_lower(job.model) == key) return job.kf_files;
    }
    std::fprintf(stderr, "warning: no unit model lists %s: exported without animations\n", variant.c_str());
    return {};
}

struct TimedRun {
    data::ModelExportResult result;
    double ms = 0;
};

TimedRun timed_export(const data::GameArchives& archives, const std::string& model,
                      const std::vector<std::string>& kf_paths, const data::ModelExportOptions& options,
                      data::GltfTextureCache& cache) {
    const auto start = Clock::now();
    TimedRun run{data::export_model(archives, model, kf_paths, options, cache), 0};
    run.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    for (const std::string& warning : run.result.stats.warnings) {
        std::fprintf(stderr, "warning: %s: %s\n", model.c_str(), warning.c_str());
    }
    return run;
}

// What the conversion counted but left out of the file or bent; both runs convert the
// same geometry, so one run's counts are told.
void warn_conversion_counts(const std::string& model, const data::GltfConvertStats& stats) {
    const struct {
        std::size_t count;
        const char* what;
    } counts[] = {
        {stats.vertices_without_influence, "vertices without any bone influence"},
        {stats.hidden_lods, "hidden LOD levels not exported"},
        {stats.rigid_bound, "rigid parts bound to a joint"},
    };
    for (const auto& count : counts) {
        if (count.count != 0) std::fprintf(stderr, "warning: %s: %zu %s\n", model.c_str(), count.count, count.what);
    }
}

}  // namespace

int cmd_models_glb(const Args& args) {
    const std::uint32_t max_size = size_value(args, "--max-size", "1024");  // 0: no limit
    const std::filesystem::path morv_dir = args.path(0);
    const std::filesystem::path out = args.path(3);
    const std::string variant = data::model_name_from_path(args.positional[2]);
    const std::filesystem::path cache_dir = args.path(1);
    std::fputs(no_model_manifest_warning(cache_dir).c_str(), stderr);
    const data::GameArchives archives = open_game_archives(morv_dir);
    const ModelHdLookup hd_textures(archives, cache_dir);
    const std::string colour_text = opt(args, "--colour", "A");
    const char colour = colour_text.empty() ? 'A' : colour_text[0];

    data::ModelExportOptions options;
    options.colour = colour;
    options.max_size = max_size;
    data::GltfTextureCache cache;
    const TimedRun original = timed_export(archives, variant, {}, options, cache);

    options.hd_key = "hd" + std::to_string(max_size);
    std::set<std::string> without_hd;  // the export asks for each texture on this thread
    options.hd_lookup = [&](const std::string& texture, char letter) -> std::optional<data::GltfTextureImage> {
        auto hd = hd_textures.get(texture, letter, max_size);
        if (!hd) {
            without_hd.insert(texture);
            return std::nullopt;
        }
        return data::GltfTextureImage{hd->image.width, hd->image.height, std::move(hd->image.pixels), hd->patched};
    };
    std::vector<std::string> animations;
    if (args.flag("--anims")) {
        animations = job_animations(morv_dir, archives, variant);
        options.scale_channels = true;
    }
    const TimedRun hd = timed_export(archives, variant, animations, options, cache);

    warn_conversion_counts(variant, hd.result.stats);
    if (!without_hd.empty())
        std::fprintf(stderr, "warning: %s: %zu textures have no HD version in %s: the game's are used\n",
                     variant.c_str(), without_hd.size(), platform::path_to_utf8(cache_dir).c_str());
    platform::write_file_atomic(out, hd.result.glb);
    std::printf("%s colour %c: original %u images %.2f MB %.0f ms, HD %u images %.2f MB %.0f ms, player colour %d/%d\n",
                variant.c_str(), colour, static_cast<unsigned>(original.result.images),
                static_cast<double>(original.result.glb.size()) / 1048576.0, original.ms,
                static_cast<unsigned>(hd.result.images), static_cast<double>(hd.result.glb.size()) / 1048576.0, hd.ms,
                original.result.player_colour ? 1 : 0, hd.result.player_colour ? 1 : 0);
    return 0;
}

}  // namespace tarkeep::upscale
