// The default command: every terrain texture of the game upscaled four times into the
// cache folder, redoing only what changed since the last run.
#include <cstdio>
#include <optional>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/game_archives.h"
#include "data/game_db.h"
#include "data/game_file_names.h"
#include "data/texture/texture_image.h"
#include "image/kernels.h"
#include "image/metrics.h"
#include "image/pixel_channels.h"
#include "image/png_files.h"
#include "platform/file_bytes.h"
#include "platform/files.h"
#include "tools/upscale/open_game.h"
#include "tools/upscale/build_basics.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/margin_advice.h"
#include "tools/upscale/numbers.h"
#include "tools/upscale/pipeline.h"
#include "tools/upscale/progress.h"
#include "tools/upscale/streamed_post.h"
#include "tools/upscale/terrain_manifest.h"
#include "tools/upscale/terrain_map.h"
#include "tools/upscale/upscaler_config.h"
#include "tools/upscale/upscaler_runner.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

// One run, in "in" and "out" of the work folder.
constexpr RunNames kRunNames = RunNames::plain_first;

struct TerrainOptions {
    fs::path morv_dir;
    fs::path cache_dir;
    fs::path work_dir;
    std::string model;
    int margin = 64;
    int passes = 3;
    double strength = 0.5;
    bool deblock = false;
    int deblock_threshold = 10;
    int dering = -1;  // off below 0
    bool tta = false;
    bool force = false;
    bool keep_work = false;
    bool verbose = false;
    std::optional<std::string> tile;
    std::vector<std::string> only;
};

TerrainOptions read_terrain_options(const Args& args) {
    TerrainOptions o;
    read_build_basics(args, "64", "_work", o);
    o.model = opt(args, "--model", "realesrgan-x4plus");
    o.deblock = args.flag("--deblock");
    o.deblock_threshold = int_value(args, "--deblock-threshold", "10");
    o.tta = args.flag("--tta");
    o.only = args.list("--only");
    return o;
}

// One texture to upscale, prepared on the main thread and read-only for the workers.
struct TerrainJob {
    std::string stem;
    TerrainManifestEntry record;
    image::RgbaImage source;
};

struct TerrainJobResult {
    std::string error;
    double before = 0;
    double after = 0;
};

// The network input of one source: decoded opaque (DXT or uncompressed), deblocked when
// asked, padded by wrapping.
image::RgbaImage padded_input(std::span<const std::uint8_t> bytes, const TerrainOptions& o, image::RgbaImage& source) {
    source = data::texture_to_rgba(bytes);
    image::make_opaque(source);
    if (o.deblock) source = deblock(source, o.deblock_threshold);
    return pad_wrap(source, o.margin);
}

TerrainJobResult post_process(const TerrainJob& job, const TerrainOptions& o, const NetworkRuns& runs) {
    TerrainJobResult result;
    const NetworkCrop kept = inside_margin(job.source.width, job.source.height, o.margin);
    image::RgbaImage hd = runs.read_output(0, job.stem, kept, SizeErrorText::bare);
    result.before = consistency(hd, job.source);
    if (o.passes > 0) hd = back_project(hd, job.source, o.passes, o.strength, true);
    if (o.dering >= 0) dering(hd, job.source, o.dering, true);
    result.after = consistency(hd, job.source);
    image::make_opaque(hd);
    image::write_png_file(cache_file(o.cache_dir, job.stem + ".png"), hd, true);
    return result;
}

}  // namespace

int cmd_terrain(const Args& args) {
    const Stopwatch total;
    const TerrainOptions o = read_terrain_options(args);
    const double save_every = real_value(args, "--save-every", "30");
    const UpscalerConfig config = make_upscaler_config(args);
    if (refuse(check_model(config, o.model)) || refuse(model_manifest_problem(o.cache_dir)) ||
        refuse(check_work_folder(o.work_dir, {o.cache_dir, o.morv_dir}, NetworkRuns::work_entries(kRunNames, 1))))
        return kRefused;
    const std::string settings = terrain_settings_string(o.margin, o.passes, o.strength, o.deblock, o.deblock_threshold,
                                                         o.dering, o.tta, upscaler_settings_suffix(config, {o.model}));

    const data::GameArchives archives = open_game_archives(o.morv_dir);
    const data::GameDb db(o.morv_dir / "zips" / "db.zip");
    std::set<std::string> missing;
    const TerrainTextureMap map =
        keep_only(with_file_names(build_terrain_texture_map(archives, db, &missing)), o.only, "a terrain texture");
    SkippedTextures skipped;
    add_not_in_archives(skipped, missing, o.only);

    platform::create_folders(o.cache_dir);
    const fs::path manifest_path = o.cache_dir / "manifest.txt";
    TerrainManifest manifest = load_terrain_manifest(manifest_path);
    const Stopwatch prepare;
    platform::remove_stale_temporaries(o.cache_dir);
    WorkFolder work(o.work_dir, o.keep_work);
    NetworkRuns runs(work, kRunNames, UpscalerFailure::go_on);
    const std::size_t run = runs.run_of(o.model);

    std::vector<TerrainJob> jobs;
    std::vector<std::vector<NetworkOutput>> outputs;  // what each job waits for
    int unreadable = 0;                               // sources that fail alone; their cache stays as it was
    {
        Progress progress("prepare", map.size());
        for (const auto& [stem, climates] : map) {
            const std::vector<std::uint8_t> bytes = archives.read(data::texture_file(stem));
            const std::string hash = source_hash(bytes);
            if (is_up_to_date(manifest, stem, hash, o.model, settings, o.force, o.cache_dir)) {
                progress.tick();
                continue;
            }
            image::RgbaImage source, input;
            try {
                input = padded_input(bytes, o, source);
            } catch (const std::exception& error) {
                std::fprintf(stderr, "%s: %s\n", stem.c_str(), error.what());
                ++unreadable;
                progress.tick();
                continue;
            }
            runs.write_input(run, stem, input);
            TerrainManifestEntry record{hash, o.model, settings,
                                        static_cast<std::int32_t>(kNetworkScale * source.width),
                                        static_cast<std::int32_t>(kNetworkScale * source.height)};
            jobs.push_back({stem, std::move(record), std::move(source)});
            outputs.push_back(runs.take_written());
            progress.tick();
        }
    }
    const double prepare_seconds = prepare.seconds();
    std::printf("%zu terrain textures, %zu to upscale (model %s, settings %s)\n", map.size(), jobs.size(),
                o.model.c_str(), settings.c_str());
    std::vector<TextureSize> sizes;
    for (const TerrainJob& job : jobs) sizes.push_back({job.stem, job.source.width, job.source.height});
    if (const std::string warning = margin_warning(o.margin, sizes); !warning.empty())
        std::fprintf(stderr, "%s\n", warning.c_str());

    double upscale_seconds = 0;
    double store_seconds = 0;
    Tally tally;
    std::size_t left = 0;
    if (!jobs.empty()) {
        StreamedPost<TerrainJob, TerrainJobResult> post(
            jobs, std::move(outputs), runs, [&](const TerrainJob& job) { return post_process(job, o, runs); });
        PeriodicSave saver(save_every, [&] { save_terrain_manifest(manifest_path, manifest); });
        upscale_seconds = runs.run_all(
            config,
            [&](const NetworkRun& network) {
                return TileSetting{o.tile.value_or(tile_for_largest(network.largest_input)), o.tta};
            },
            post.while_running(manifest, saver));

        // What the network did not hide: the outputs still waiting when it ended.
        const Stopwatch store;
        post.finish(runs.interrupted() ? PostScope::complete_only : PostScope::all, "crop+store");
        ConsistencyTotals totals;
        tally = merge_results(jobs, post.results(), manifest, [&](const TerrainJob& job, const TerrainJobResult& r) {
            totals.add(r.before, r.after);
            if (o.verbose) std::printf("%s consistency %.2f -> %.2f\n", job.stem.c_str(), r.before, r.after);
        });
        if (tally.upscaled > 0)
            std::printf("mean |source - box(HD)|: %.2f after Real-ESRGAN, %.2f after back-projection\n",
                        totals.mean_before(), totals.mean_after());
        store_seconds = store.seconds();
        save_terrain_manifest(manifest_path, manifest);
        left = post.left();
    }
    work.remove();
    tally.failed += unreadable;

    const auto all = [](const TerrainManifestEntry&) { return true; };
    std::printf(
        "done: %zu upscaled, %d failed, cache %zu entries %.1f MB | prepare %.1f s, Real-ESRGAN %.1f s, "
        "crop+store %.1f s, total %.1f s\n",
        tally.upscaled, tally.failed, manifest.size(), cache_megabytes(o.cache_dir, stems_where(manifest, all), ".png"),
        prepare_seconds, upscale_seconds, store_seconds, total.seconds());
    if (o.verbose) print_skipped(skipped);
    return build_status(tally.failed, left);
}

}  // namespace tarkeep::upscale
