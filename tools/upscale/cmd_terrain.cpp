// The default command: every terrain texture of the game upscaled four times into the
// cache folder, redoing only what changed since the last run.
#include <cstdio>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/game_archives.h"
#include "data/game_db.h"
#include "data/texture/texture_image.h"
#include "platform/cmdline.h"
#include "platform/files.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/commands.h"
#include "image/image_files.h"
#include "image/kernels.h"
#include "tools/upscale/margin_advice.h"
#include "tools/upscale/metrics.h"
#include "tools/upscale/numbers.h"
#include "tools/upscale/progress.h"
#include "tools/upscale/terrain_map.h"
#include "tools/upscale/terrain_manifest.h"
#include "tools/upscale/upscaler_config.h"
#include "tools/upscale/upscaler_runner.h"
#include "tools/upscale/work_folder.h"
#include "platform/worker_pool.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

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
    o.morv_dir = platform::path_from_utf8(args.positional.at(0));
    o.cache_dir = platform::path_from_utf8(args.positional.at(1));
    o.model = opt(args, "--model", "realesrgan-x4plus");
    o.margin = to_int(opt(args, "--margin", "64"));
    o.passes = to_int(opt(args, "--backproject", "3"));
    o.strength = to_double(opt(args, "--bp-strength", "0.5"));
    o.deblock = args.flag("--deblock");
    o.deblock_threshold = to_int(opt(args, "--deblock-threshold", "10"));
    o.dering = to_int(opt(args, "--dering", "-1"));
    o.tta = args.flag("--tta");
    o.force = args.flag("--force");
    o.keep_work = args.flag("--keep-work");
    o.verbose = args.flag("--verbose");
    if (args.has_value("--tile")) o.tile = opt(args, "--tile", "");
    o.only = args.list("--only");
    o.work_dir = work_folder_path(args, o.cache_dir);
    return o;
}

// One texture to upscale, prepared on the main thread and read-only for the workers.
struct TerrainJob {
    std::string stem;
    TerrainManifestEntry entry;
    image::RgbaImage source;
};

struct TerrainJobResult {
    std::string error;
    double before = 0;
    double after = 0;
};

// The network input of one source: decoded opaque, deblocked when asked, padded by wrapping.
// A damaged source ends the run (its cache stays as it was); the message says which one.
image::RgbaImage padded_input(const std::string& stem, std::span<const std::uint8_t> bytes, const TerrainOptions& o,
                              image::RgbaImage& source) {
    try {
        source = data::texture_to_rgb_opaque(bytes);
        if (o.deblock) source = deblock(source, o.deblock_threshold);
        return pad_wrap(source, o.margin);
    } catch (const std::exception& error) {
        throw std::runtime_error(stem + ": " + error.what());
    }
}

TerrainJobResult post_process(const TerrainJob& job, const TerrainOptions& o, const fs::path& out_dir) {
    TerrainJobResult result;
    try {
        const std::uint32_t m = static_cast<std::uint32_t>(o.margin);
        const fs::path output = out_dir / platform::path_from_utf8(job.stem + ".png");
        const image::RgbaImage network = image::read_png_file(output);
        const auto hd_w = static_cast<std::uint32_t>(job.entry.width);
        const auto hd_h = static_cast<std::uint32_t>(job.entry.height);
        if (std::uint64_t{network.width} != std::uint64_t{hd_w} + 8ull * m ||
            std::uint64_t{network.height} != std::uint64_t{hd_h} + 8ull * m)
            throw std::runtime_error("unexpected output size " + std::to_string(network.width) + "x" +
                                     std::to_string(network.height));
        image::RgbaImage hd = crop(network, kNetworkScale * m, kNetworkScale * m, hd_w, hd_h);
        result.before = consistency(hd, job.source);
        if (o.passes > 0) hd = back_project(hd, job.source, o.passes, o.strength, true);
        if (o.dering >= 0) dering(hd, job.source, o.dering, true);
        result.after = consistency(hd, job.source);
        for (std::size_t i = 3; i < hd.pixels.size(); i += 4) hd.pixels[i] = 255;
        image::write_png_file(o.cache_dir / platform::path_from_utf8(job.stem + ".png"), hd, true);
    } catch (const std::exception& error) {
        result.error = error.what();
    }
    return result;
}

std::uintmax_t cache_bytes(const TerrainManifest& manifest, const fs::path& cache_dir) {
    std::uintmax_t total = 0;
    for (const auto& [stem, entry] : manifest) {
        std::error_code error;
        const auto status = platform::path_status(cache_dir / platform::path_from_utf8(stem + ".png"), error);
        if (!error) total += status.size;
    }
    return total;
}

}  // namespace

int cmd_terrain(const Args& args) {
    const Stopwatch total;
    const TerrainOptions o = read_terrain_options(args);
    const UpscalerConfig config = make_upscaler_config(args);
    if (std::string problem = check_model(config, o.model); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 2;
    }
    if (std::string problem = check_work_folder(o.work_dir, {o.cache_dir, o.morv_dir}, {"in", "out"});
        !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 2;
    }
    const std::string settings = terrain_settings_string(o.margin, o.passes, o.strength, o.deblock, o.deblock_threshold,
                                                         o.dering, o.tta, upscaler_settings_suffix(config, {o.model}));

    const data::GameArchives archives(o.morv_dir);
    const data::GameDb db(o.morv_dir / "zips" / "db.zip");
    const TerrainTextureMap map = build_terrain_texture_map(archives, db);
    const std::vector<std::string> stems = select_stems(map, o.only, true);

    platform::create_folders(o.cache_dir);
    const fs::path manifest_path = o.cache_dir / "manifest.txt";
    TerrainManifest manifest = load_terrain_manifest(manifest_path);
    const Stopwatch prepare;
    image::remove_stale_temporaries(o.cache_dir);
    WorkFolder work(o.work_dir, o.keep_work);
    const UpscalerFolders folders = work.add_batch();

    std::vector<TerrainJob> jobs;
    std::uint32_t largest_input = 0;
    {
        Progress progress("prepare", stems.size());
        for (const std::string& stem : stems) {
            const std::vector<std::uint8_t> bytes = archives.read(stem + ".texcache");
            const std::string hash = source_hash(bytes);
            if (is_up_to_date(manifest, stem, hash, o.model, settings, o.force, o.cache_dir)) {
                progress.tick();
                continue;
            }
            image::RgbaImage source;
            const image::RgbaImage padded = padded_input(stem, bytes, o, source);
            largest_input = std::max({largest_input, padded.width, padded.height});
            image::write_png_file(folders.in / platform::path_from_utf8(stem + ".png"), padded, false);
            TerrainManifestEntry entry{hash, o.model, settings, static_cast<std::int32_t>(kNetworkScale * source.width),
                                       static_cast<std::int32_t>(kNetworkScale * source.height)};
            jobs.push_back({stem, std::move(entry), std::move(source)});
            progress.tick();
        }
    }
    const double prepare_seconds = prepare.seconds();
    std::printf("%zu terrain textures, %zu to upscale (model %s, settings %s)\n", stems.size(), jobs.size(),
                o.model.c_str(), settings.c_str());

    std::vector<TextureSize> sizes;
    for (const TerrainJob& job : jobs) sizes.push_back({job.stem, job.source.width, job.source.height});
    if (const std::string warning = margin_warning(o.margin, sizes); !warning.empty())
        std::fprintf(stderr, "%s\n", warning.c_str());

    double upscale_seconds = 0;
    double store_seconds = 0;
    std::size_t upscaled = 0;
    int failed = 0;
    if (!jobs.empty()) {
        const TileSetting tile{
            o.tile ? *o.tile : std::to_string(std::max<std::uint32_t>(32, (largest_input + 3) / 4 * 4)), o.tta};
        upscale_seconds = run_upscaler_batch(config, o.model, folders.in, folders.out, tile, fs::path()).seconds;

        const Stopwatch store;
        std::vector<TerrainJobResult> results(jobs.size());
        {
            Progress progress("crop+store", jobs.size());
            platform::run_jobs(jobs.size(), [&](std::size_t i) {
                results[i] = post_process(jobs[i], o, folders.out);
                progress.tick();
            });
        }
        double before_sum = 0;
        double after_sum = 0;
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            const TerrainJobResult& r = results[i];
            if (r.error.empty()) {
                manifest[jobs[i].stem] = jobs[i].entry;
                before_sum += r.before;
                after_sum += r.after;
                ++upscaled;
                if (o.verbose) std::printf("%s consistency %.2f -> %.2f\n", jobs[i].stem.c_str(), r.before, r.after);
            } else {
                ++failed;
                manifest.erase(jobs[i].stem);
                std::fprintf(stderr, "%s: %s\n", jobs[i].stem.c_str(), r.error.c_str());
            }
        }
        if (upscaled > 0)
            std::printf("mean |source - box(HD)|: %.2f after Real-ESRGAN, %.2f after back-projection\n",
                        before_sum / static_cast<double>(upscaled), after_sum / static_cast<double>(upscaled));
        store_seconds = store.seconds();
        save_terrain_manifest(manifest_path, manifest);
    }
    work.remove();

    std::printf(
        "done: %zu upscaled, %d failed, cache %zu entries %.1f MB | prepare %.1f s, Real-ESRGAN %.1f s, "
        "crop+store %.1f s, total %.1f s\n",
        upscaled, failed, manifest.size(), static_cast<double>(cache_bytes(manifest, o.cache_dir)) / 1048576.0,
        prepare_seconds, upscale_seconds, store_seconds, total.seconds());
    return failed > 0 ? 1 : 0;
}

}  // namespace tarkeep::upscale
