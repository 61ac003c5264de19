// --models-build: every texture the game's models use, upscaled two or four
// times with its alpha channel and player-colour mask, redoing only what
// changed since the last run.
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/game_archives.h"
#include "data/game_file_names.h"
#include "data/texture/texture_image.h"
#include "image/kernels.h"
#include "image/metrics.h"
#include "image/pixel_channels.h"
#include "image/png_files.h"
#include "platform/file_bytes.h"
#include "platform/files.h"
#include "tools/upscale/open_game.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/model_build_options.h"
#include "tools/upscale/model_catalogue.h"
#include "tools/upscale/model_manifest.h"
#include "tools/upscale/numbers.h"
#include "tools/upscale/pipeline.h"
#include "tools/upscale/progress.h"
#include "tools/upscale/streamed_post.h"
#include "tools/upscale/upscaler_config.h"
#include "tools/upscale/upscaler_runner.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

// The colour model's run in "in" and "out", the alpha and mask models' in "in_2", "in_3".
constexpr RunNames kRunNames = RunNames::plain_first;
constexpr std::size_t kMostRuns = 3;

// One texture to upscale, prepared on the main thread and read-only for the workers. It keeps
// the texture's files as read, not their decoded images (up to 12 bytes a pixel through the
// whole run): decoding them again is cheap beside the post step, and gives the same images
// whenever it runs, whatever happens to the archives meanwhile.
struct ModelJob {
    std::string stem;
    ModelManifestRecord record;
    std::vector<std::uint8_t> bytes;       // "<stem>.texcache"
    std::vector<std::uint8_t> mask_bytes;  // "<stem>_pc.texcache", empty without a mask
    bool wrap_x = false;
    bool wrap_y = false;
};

// The images a texture is upscaled from and measured against.
struct ModelSources {
    image::RgbaImage source;                // decoded mip 0, bled where transparent: the reference
    std::optional<image::RgbaImage> alpha;  // the source alpha as grey, when some is below 255
    std::optional<image::RgbaImage> mask;   // at the texture's size, opaque
};

struct ModelJobResult {
    std::string error;
    double before = 0;
    double after = 0;
};

// The network run of each kind of input; alpha and mask only where the network upscales them.
struct ModelRuns {
    std::size_t colour = 0;
    std::size_t alpha = 0;
    std::size_t mask = 0;
};

ModelRuns model_runs(const ModelBuildOptions& o, NetworkRuns& runs) {
    ModelRuns which;
    which.colour = runs.run_of(o.model);
    if (o.alpha == "esr") which.alpha = runs.run_of(o.alpha_model);
    if (o.pc == "esr") which.mask = runs.run_of(o.pc_model);
    return which;
}

// What the prepare phase counts for its report line.
struct PrepareCounts {
    std::size_t skipped = 0;
    std::size_t up_to_date = 0;
    std::size_t tiling = 0;
    double source_mpx = 0;
    double result_mpx = 0;
    std::map<std::uint32_t, int> per_factor;
};

bool is_stored(const ModelManifest& manifest, const ModelJob& job, bool has_mask, const ModelBuildOptions& o) {
    const auto stored = manifest.find(job.stem);
    return !o.force && stored != manifest.end() && stored->second == job.record &&
           platform::path_exists(cache_file(o.cache_dir, job.stem + ".png")) &&
           (!has_mask || platform::path_exists(cache_file(o.cache_dir, job.stem + "_pc.png")));
}

ModelSources decode_sources(const ModelJob& job) {
    ModelSources decoded;
    decoded.source = data::texture_to_rgba(job.bytes);
    if (image::has_transparency(decoded.source)) {
        decoded.alpha = channel_to_grey(decoded.source, 3);
        bleed(decoded.source, 0, 16);
    }
    if (!job.mask_bytes.empty()) {
        image::RgbaImage mask = data::texture_to_rgba(job.mask_bytes);
        // Some masks are drawn at another size than their texture.
        if (mask.width != decoded.source.width || mask.height != decoded.source.height)
            mask = resize_bilinear(mask, decoded.source.width, decoded.source.height);
        image::make_opaque(mask);
        decoded.mask = std::move(mask);
    }
    return decoded;
}

void decide_tiling(ModelJob& job, const image::RgbaImage& source, const ModelBuildOptions& o) {
    const image::SeamStats seams = seam_stats(source);
    job.wrap_x = image::axis_tiles(seams.inner_x, ratio_x(seams), o.tile_detect);
    job.wrap_y = image::axis_tiles(seams.inner_y, ratio_y(seams), o.tile_detect);
}

void write_inputs(const ModelJob& job, const ModelSources& decoded, const ModelBuildOptions& o, const ModelRuns& which,
                  NetworkRuns& runs) {
    const auto write = [&](image::RgbaImage input, std::size_t run, const std::string& name) {
        image::make_opaque(input);
        runs.write_input(run, name, pad(input, o.margin, o.mirror(), job.wrap_x, job.wrap_y));
    };
    write(decoded.source, which.colour, job.stem);
    if (decoded.alpha && o.alpha == "esr") write(*decoded.alpha, which.alpha, job.stem + "~a");
    if (decoded.mask && o.pc == "esr") write(*decoded.mask, which.mask, job.stem + "~pc");
}

// The network's output for one input, cropped to 4x the texture and reduced to
// the factor.
image::RgbaImage network_result(const NetworkRuns& runs, std::size_t run, const std::string& name,
                                const image::RgbaImage& source, std::uint32_t factor, int margin) {
    image::RgbaImage hd =
        runs.read_output(run, name, inside_margin(source.width, source.height, margin), SizeErrorText::after_file_name);
    if (factor < kNetworkScale) hd = box_down(hd, kNetworkScale / factor);
    return hd;
}

// The alpha or player-colour result of a texture: with the network, its output for `name`
// back-projected towards the grey `source`; otherwise `source` scaled to the HD size.
image::RgbaImage grey_result(bool by_network, const NetworkRuns& runs, std::size_t run, const std::string& name,
                             const image::RgbaImage& source, const ModelJob& job, const image::RgbaImage& hd,
                             const ModelBuildOptions& o) {
    if (!by_network) return resize_bilinear(source, hd.width, hd.height);
    image::RgbaImage result = network_result(runs, run, name, source, job.record.factor, o.margin);
    return o.passes > 0 ? back_project(result, source, o.passes, 1.0, false) : result;
}

ModelJobResult post_process(const ModelJob& job, const ModelBuildOptions& o, const NetworkRuns& runs,
                            const ModelRuns& which) {
    const ModelSources decoded = decode_sources(job);
    const image::RgbaImage& source = decoded.source;
    ModelJobResult result;
    image::RgbaImage hd = network_result(runs, which.colour, job.stem, source, job.record.factor, o.margin);
    result.before = consistency(hd, source);
    if (result.before > image::kUnusableConsistency)
        throw std::runtime_error(image::unusable_output_message(result.before));
    if (o.passes > 0) hd = back_project(hd, source, o.passes, o.strength, job.wrap_x && job.wrap_y);
    if (o.dering >= 0) dering(hd, source, o.dering);
    result.after = consistency(hd, source);
    if (decoded.alpha) {
        image::alpha_from_grey(
            hd, grey_result(o.alpha == "esr", runs, which.alpha, job.stem + "~a", *decoded.alpha, job, hd, o));
    } else {
        image::make_opaque(hd);
    }
    image::write_png_file(cache_file(o.cache_dir, job.stem + ".png"), hd, true);
    if (decoded.mask) {
        const image::RgbaImage mask =
            grey_result(o.pc == "esr", runs, which.mask, job.stem + "~pc", *decoded.mask, job, hd, o);
        image::write_png_file(cache_file(o.cache_dir, job.stem + "_pc.png"), channel_to_grey(mask, 0), true);
    }
    return result;
}

}  // namespace

int cmd_models_build(const Args& args) {
    const Stopwatch total;
    std::optional<ModelBuildOptions> read = read_model_build_options(args);
    if (!read) return kRefused;
    const ModelBuildOptions& o = *read;
    const double save_every = real_value(args, "--save-every", "30");
    const UpscalerConfig config = make_upscaler_config(args);
    const std::vector<std::string> network_models = o.network_models();
    if (refuse(models_problem(config, network_models)) ||
        refuse(check_work_folder(o.work_dir, {o.cache_dir, o.morv_dir},
                                 NetworkRuns::work_entries(kRunNames, kMostRuns))) ||
        refuse(foreign_manifest_problem(o.cache_dir)))
        return kRefused;
    const std::string settings = model_settings_string(o, upscaler_settings_suffix(config, network_models));

    const data::GameArchives archives = open_game_archives(o.morv_dir);
    const Stopwatch scan;
    std::set<std::string> missing;
    const ModelCatalogue scanned = scan_model_textures(archives, true, &missing);
    const double scan_seconds = scan.seconds();
    const ModelCatalogue catalogue = keep_only(scanned, o.only, "a model texture");

    platform::create_folders(o.cache_dir);
    const fs::path manifest_path = o.cache_dir / "manifest.txt";
    const ModelManifest loaded = read_model_manifest(manifest_path);
    ModelManifest manifest = loaded;
    // The UI pipeline's records share the manifest; they are not this build's to drop.
    if (o.only.empty())
        drop_records(manifest, o.cache_dir, {".png", "_pc.png"}, [&](const std::string& stem, const auto& record) {
            return !is_ui_record(record) && !catalogue.count(stem);
        });

    const Stopwatch prepare;
    platform::remove_stale_temporaries(o.cache_dir);
    WorkFolder work(o.work_dir, o.keep_work);
    NetworkRuns runs(work, kRunNames, UpscalerFailure::end_command);
    const ModelRuns which = model_runs(o, runs);
    std::vector<ModelJob> jobs;
    std::vector<std::vector<NetworkOutput>> outputs;  // what each job waits for
    PrepareCounts counts;
    SkippedTextures skipped;
    add_not_in_archives(skipped, missing, o.only);
    int unreadable = 0;  // textures that fail alone before the network; their cache stays
    {
        Progress progress("prepare", catalogue.size());
        for (const auto& [stem, texture] : catalogue) {
            progress.tick();
            if (report_unreadable(texture)) {
                ++unreadable;
                continue;
            }
            if (const auto kept = manifest.find(stem); kept != manifest.end() && is_ui_record(kept->second)) {
                // One file name, two images: rebuilding would only overwrite the UI build's.
                std::fprintf(stderr, "warning: %s is kept by the UI build in this cache: not rebuilt here\n",
                             stem.c_str());
                continue;
            }
            const std::uint32_t factor = choose_scale(texture.width, texture.height, o.min_size, o.max_size, o.scale);
            if (factor == 0) {
                ++counts.skipped;
                skipped[stem] = unscaled_reason(texture.width, texture.height, o.min_size, o.max_size);
                continue;
            }
            ModelJob job;
            job.stem = stem;
            job.bytes = archives.read(data::texture_file(stem));
            job.mask_bytes = archives.read_or_empty(data::mask_file(stem));
            const std::string hash = model_source_hash(job.bytes, job.mask_bytes);
            job.record = {hash, o.model, settings, factor * texture.width, factor * texture.height, factor};
            if (is_stored(manifest, job, !job.mask_bytes.empty(), o)) {
                ++counts.up_to_date;
                continue;
            }
            std::optional<ModelSources> decoded;
            try {
                decoded = decode_sources(job);
                decide_tiling(job, decoded->source, o);
            } catch (const std::exception& error) {
                std::fprintf(stderr, "%s: %s\n", stem.c_str(), error.what());
                ++unreadable;
                continue;
            }
            write_inputs(job, *decoded, o, which, runs);
            if (job.wrap_x || job.wrap_y) ++counts.tiling;
            counts.source_mpx += static_cast<double>(texture.width) * texture.height / 1e6;
            counts.result_mpx += static_cast<double>(job.record.width) * job.record.height / 1e6;
            ++counts.per_factor[factor];
            jobs.push_back(std::move(job));
            outputs.push_back(runs.take_written());
        }
    }
    const double prepare_seconds = prepare.seconds();
    std::printf("%zu model textures (scan %.1f s): %zu below min size / above max, %zu up to date, %zu to upscale (",
                catalogue.size(), scan_seconds, counts.skipped, counts.up_to_date, jobs.size());
    for (const auto& [factor, count] : counts.per_factor) std::printf(" x%u:%d", factor, count);
    std::printf(" ), %zu tiling (wrap padded), %zu network inputs, %.1f -> %.1f Mpx (model %s, settings %s)\n",
                counts.tiling, runs.inputs(), counts.source_mpx, counts.result_mpx, o.model.c_str(), settings.c_str());

    double upscale_seconds = 0, post_seconds = 0;
    Tally tally;
    std::size_t left = 0;
    if (!jobs.empty()) {
        StreamedPost<ModelJob, ModelJobResult> post(
            jobs, std::move(outputs), runs, [&](const ModelJob& job) { return post_process(job, o, runs, which); });
        PeriodicSave saver(save_every, [&] { write_model_manifest(manifest_path, manifest); });
        // One tile size for every run: the largest input of all of them.
        const TileSetting tile{o.tile.value_or(std::to_string(runs.largest_input())), false};
        upscale_seconds = runs.run_all(
            config, [&](const NetworkRun&) { return tile; }, post.while_running(manifest, saver));
        if (!runs.ending_error().empty()) {
            // The textures finished while the network ran are stored and listed; the rest is
            // left as it was for the next build.
            post.finish(PostScope::started_only, "post");
            for (std::size_t i = 0; i < jobs.size(); ++i)
                if (post.results()[i] && post.results()[i]->error.empty()) manifest[jobs[i].stem] = jobs[i].record;
            if (manifest != loaded) write_model_manifest(manifest_path, manifest);
            throw std::runtime_error(runs.ending_error());
        }

        // What the network did not hide: the outputs still waiting when it ended.
        const Stopwatch post_watch;
        post.finish(runs.interrupted() ? PostScope::complete_only : PostScope::all, "post");
        ConsistencyTotals totals;
        tally = merge_results(jobs, post.results(), manifest, [&](const ModelJob& job, const ModelJobResult& r) {
            totals.add(r.before, r.after);
            if (o.verbose)
                std::printf("%s x%u consistency %.2f -> %.2f\n", job.stem.c_str(), job.record.factor, r.before,
                            r.after);
        });
        if (tally.upscaled > 0)
            std::printf("mean |source - box(HD)|: %.2f after Real-ESRGAN, %.2f after back-projection\n",
                        totals.mean_before(), totals.mean_after());
        post_seconds = post_watch.seconds();
        left = post.left();
    }
    if (manifest != loaded) write_model_manifest(manifest_path, manifest);
    work.remove();
    tally.failed += unreadable;

    const std::vector<std::string> stored = stems_where(manifest, [](const auto& r) { return !is_ui_record(r); });
    std::printf(
        "done: %zu upscaled, %d failed, cache %zu entries %.1f MB (+ masks %.1f MB) | prepare %.1f s, "
        "Real-ESRGAN %.1f s, post %.1f s, total %.1f s\n",
        tally.upscaled, tally.failed, stored.size(), cache_megabytes(o.cache_dir, stored, ".png"),
        cache_megabytes(o.cache_dir, stored, "_pc.png"), prepare_seconds, upscale_seconds, post_seconds,
        total.seconds());
    if (o.verbose) print_skipped(skipped);
    return build_status(tally.failed, left);
}

}  // namespace tarkeep::upscale
