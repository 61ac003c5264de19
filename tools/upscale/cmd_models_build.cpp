// --models-build: every texture the game's models use, upscaled two or four
// times with its alpha channel and player-colour mask, redoing only what
// changed since the last run.
#include <cstdio>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/game_archives.h"
#include "data/texture/texture_image.h"
#include "image/png_files.h"
#include "image/kernels.h"
#include "platform/cmdline.h"
#include "platform/file_bytes.h"
#include "platform/files.h"
#include "platform/worker_pool.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/commands.h"
#include "image/metrics.h"
#include "tools/upscale/model_build_options.h"
#include "tools/upscale/model_catalogue.h"
#include "tools/upscale/model_manifest.h"
#include "tools/upscale/numbers.h"
#include "tools/upscale/progress.h"
#include "tools/upscale/upscaler_config.h"
#include "tools/upscale/upscaler_runner.h"
#include "tools/upscale/work_folder.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

fs::path cache_file(const fs::path& cache_dir, const std::string& name) {
    return cache_dir / platform::path_from_utf8(name);
}

// One texture to upscale, prepared on the main thread and read-only for the
// workers.
struct ModelJob {
    std::string stem;
    ModelManifestRecord record;
    image::RgbaImage source;                // decoded mip 0, bled where transparent: the reference
    std::optional<image::RgbaImage> alpha;  // the source alpha as grey, when some is below 255
    std::optional<image::RgbaImage> mask;   // at the texture's size
    bool wrap_x = false;
    bool wrap_y = false;
};

struct ModelJobResult {
    std::string error;
    double before = 0;
    double after = 0;
};

// The folders of each distinct model's network run, in the order the models are
// named.
struct NetworkRuns {
    std::vector<std::string> models;
    std::size_t index_of(const std::string& model) {
        for (std::size_t i = 0; i < models.size(); ++i) {
            if (models[i] == model) return i;
        }
        models.push_back(model);
        return models.size() - 1;
    }
    // The batch of the colour model is the plain "in"/"out"; the others are numbered.
    static std::string batch_name(std::size_t i) { return i == 0 ? "" : std::to_string(i + 1); }
};

image::RgbaImage opaque(image::RgbaImage image) {
    for (std::size_t i = 3; i < image.pixels.size(); i += 4) image.pixels[i] = 255;
    return image;
}

// The network's output for one input, cropped to 4x the texture and reduced to
// the factor.
image::RgbaImage network_result(const fs::path& out_dir, const std::string& name, const ModelJob& job, int margin) {
    const image::RgbaImage network = image::read_png_file(out_dir / platform::path_from_utf8(name + ".png"));
    const std::uint64_t m = static_cast<std::uint64_t>(margin);
    if (network.width != kNetworkScale * (job.source.width + 2 * m) ||
        network.height != kNetworkScale * (job.source.height + 2 * m))
        throw std::runtime_error(name + ".png: unexpected output size " + std::to_string(network.width) + "x" +
                                 std::to_string(network.height));
    const auto offset = static_cast<std::uint32_t>(kNetworkScale * m);
    image::RgbaImage hd =
        crop(network, offset, offset, kNetworkScale * job.source.width, kNetworkScale * job.source.height);
    if (job.record.factor < kNetworkScale) hd = box_down(hd, kNetworkScale / job.record.factor);
    return hd;
}

// The alpha or player-colour result of a texture: with the network, its output for `name`
// back-projected towards the grey `source`; otherwise `source` scaled to the HD size.
image::RgbaImage grey_result(bool by_network, const fs::path& out_dir, const std::string& name,
                             const image::RgbaImage& source, const ModelJob& job, const image::RgbaImage& hd,
                             const ModelBuildOptions& o) {
    if (!by_network) return resize_bilinear(source, hd.width, hd.height);
    image::RgbaImage result = network_result(out_dir, name, job, o.margin);
    return o.passes > 0 ? back_project(result, source, o.passes, 1.0, false) : result;
}

ModelJobResult post_process(const ModelJob& job, const ModelBuildOptions& o,
                            const std::vector<UpscalerFolders>& batches, std::size_t colour_run, std::size_t alpha_run,
                            std::size_t pc_run) {
    ModelJobResult result;
    try {
        image::RgbaImage hd = network_result(batches[colour_run].out, job.stem, job, o.margin);
        result.before = consistency(hd, job.source);
        if (result.before > image::kUnusableConsistency)
            throw std::runtime_error(image::unusable_output_message(result.before));
        if (o.passes > 0) hd = back_project(hd, job.source, o.passes, o.strength, job.wrap_x && job.wrap_y);
        if (o.dering >= 0) dering(hd, job.source, o.dering);
        result.after = consistency(hd, job.source);
        if (!job.alpha) {
            hd = opaque(std::move(hd));
        } else {
            const image::RgbaImage alpha =
                grey_result(o.alpha == "esr", batches[alpha_run].out, job.stem + "~a", *job.alpha, job, hd, o);
            for (std::size_t i = 0; i < hd.pixels.size(); i += 4) hd.pixels[i + 3] = alpha.pixels[i];
        }
        image::write_png_file(cache_file(o.cache_dir, job.stem + ".png"), hd, true);
        if (job.mask) {
            const image::RgbaImage mask =
                grey_result(o.pc == "esr", batches[pc_run].out, job.stem + "~pc", *job.mask, job, hd, o);
            image::write_png_file(cache_file(o.cache_dir, job.stem + "_pc.png"), channel_to_grey(mask, 0), true);
        }
    } catch (const std::exception& error) {
        result.error = error.what();
    }
    return result;
}

std::vector<std::uint8_t> read_mask_bytes(const data::GameArchives& archives, const std::string& stem) {
    const std::string name = stem + "_pc.texcache";
    return archives.contains(name) ? archives.read(name) : std::vector<std::uint8_t>();
}

double file_megabytes(const fs::path& path) {
    std::error_code error;
    const auto status = platform::path_status(path, error);
    return error ? 0.0 : static_cast<double>(status.size) / 1048576.0;
}

}  // namespace

int cmd_models_build(const Args& args) {
    const Stopwatch total;
    std::optional<ModelBuildOptions> read = read_model_build_options(args);
    if (!read) return 2;
    const ModelBuildOptions& o = *read;
    const UpscalerConfig config = make_upscaler_config(args);
    const std::vector<std::string> network_models = o.network_models();
    for (const std::string& model : network_models) {
        if (std::string problem = check_model(config, model); !problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 2;
        }
    }
    if (std::string problem = check_work_folder(o.work_dir, {o.cache_dir, o.morv_dir}, kModelWorkEntries);
        !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 2;
    }
    if (std::string problem = foreign_manifest_problem(o.cache_dir); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 2;
    }
    const std::string settings = model_settings_string(o, upscaler_settings_suffix(config, network_models));

    const data::GameArchives archives(o.morv_dir);
    const Stopwatch scan;
    ModelCatalogue catalogue = scan_model_textures(archives, true);
    const double scan_seconds = scan.seconds();
    if (!o.only.empty()) {
        ModelCatalogue kept;
        for (const std::string& stem : o.only) {
            const auto it = catalogue.find(stem);
            if (it == catalogue.end()) {
                std::fprintf(stderr, "warning: %s is not a model texture\n", stem.c_str());
            } else {
                kept.insert(*it);
            }
        }
        catalogue = std::move(kept);
    }

    platform::create_folders(o.cache_dir);
    const fs::path manifest_path = o.cache_dir / "manifest.txt";
    const ModelManifest loaded = read_model_manifest(manifest_path);
    ModelManifest manifest = loaded;
    if (o.only.empty()) {
        // The UI pipeline's records share the manifest; they are not this build's
        // to drop.
        for (auto it = manifest.begin(); it != manifest.end();) {
            if (is_ui_record(it->second) || catalogue.count(it->first)) {
                ++it;
                continue;
            }
            std::error_code ignored;
            platform::remove_path(cache_file(o.cache_dir, it->first + ".png"), ignored);
            platform::remove_path(cache_file(o.cache_dir, it->first + "_pc.png"), ignored);
            it = manifest.erase(it);
        }
    }

    const Stopwatch prepare;
    platform::remove_stale_temporaries(o.cache_dir);
    WorkFolder work(o.work_dir, o.keep_work);
    NetworkRuns runs;
    const std::size_t colour_run = runs.index_of(o.model);
    const std::size_t alpha_run = o.alpha == "esr" ? runs.index_of(o.alpha_model) : 0;
    const std::size_t pc_run = o.pc == "esr" ? runs.index_of(o.pc_model) : 0;
    std::vector<UpscalerFolders> batches;
    for (std::size_t i = 0; i < runs.models.size(); ++i) batches.push_back(work.add_batch(NetworkRuns::batch_name(i)));
    std::vector<std::size_t> inputs_per_run(runs.models.size(), 0);

    std::vector<ModelJob> jobs;
    std::size_t skipped = 0, up_to_date = 0, tiling = 0, inputs = 0;
    std::uint32_t largest_input = 0;
    double source_mpx = 0, result_mpx = 0;
    std::map<std::uint32_t, int> per_factor;
    {
        Progress progress("prepare", catalogue.size());
        for (const auto& [stem, texture] : catalogue) {
            progress.tick();
            const std::uint32_t factor = choose_scale(texture.width, texture.height, o.min_size, o.max_size, o.scale);
            if (factor == 0) {
                ++skipped;
                continue;
            }
            const std::vector<std::uint8_t> bytes = archives.read(stem + ".texcache");
            const std::vector<std::uint8_t> mask_bytes = read_mask_bytes(archives, stem);
            const ModelManifestRecord record{model_source_hash(bytes, mask_bytes),
                                             o.model,
                                             settings,
                                             factor * texture.width,
                                             factor * texture.height,
                                             factor};
            const auto stored = manifest.find(stem);
            if (!o.force && stored != manifest.end() && stored->second == record &&
                platform::path_exists(cache_file(o.cache_dir, stem + ".png")) &&
                (mask_bytes.empty() || platform::path_exists(cache_file(o.cache_dir, stem + "_pc.png")))) {
                ++up_to_date;
                continue;
            }
            ModelJob job{stem, record, data::texture_to_rgba(bytes), std::nullopt, std::nullopt, false, false};
            bool translucent = false;
            for (std::size_t i = 3; i < job.source.pixels.size() && !translucent; i += 4)
                translucent = job.source.pixels[i] < 255;
            if (translucent) {
                job.alpha = channel_to_grey(job.source, 3);
                bleed(job.source, 0, 16);
            }
            if (!mask_bytes.empty()) {
                image::RgbaImage mask = data::texture_to_rgba(mask_bytes);
                // Some masks are drawn at another size than their texture.
                if (mask.width != job.source.width || mask.height != job.source.height)
                    mask = resize_bilinear(mask, job.source.width, job.source.height);
                job.mask = opaque(std::move(mask));
            }
            const image::SeamStats seams = seam_stats(job.source);
            job.wrap_x = image::axis_tiles(seams.inner_x, ratio_x(seams), o.tile_detect);
            job.wrap_y = image::axis_tiles(seams.inner_y, ratio_y(seams), o.tile_detect);
            if (job.wrap_x || job.wrap_y) ++tiling;

            auto write_input = [&](const image::RgbaImage& image, std::size_t run, const std::string& name) {
                const image::RgbaImage padded = pad(opaque(image), o.margin, o.mirror(), job.wrap_x, job.wrap_y);
                largest_input = std::max({largest_input, padded.width, padded.height});
                image::write_png_file(batches[run].in / platform::path_from_utf8(name + ".png"), padded, false);
                ++inputs;
                ++inputs_per_run[run];
            };
            write_input(job.source, colour_run, stem);
            if (job.alpha && o.alpha == "esr") write_input(*job.alpha, alpha_run, stem + "~a");
            if (job.mask && o.pc == "esr") write_input(*job.mask, pc_run, stem + "~pc");

            source_mpx += static_cast<double>(texture.width) * texture.height / 1e6;
            result_mpx += static_cast<double>(record.width) * record.height / 1e6;
            ++per_factor[factor];
            jobs.push_back(std::move(job));
        }
    }
    const double prepare_seconds = prepare.seconds();
    std::printf(
        "%zu model textures (scan %.1f s): %zu below min size / above "
        "max, %zu up to date, %zu to upscale (",
        catalogue.size(), scan_seconds, skipped, up_to_date, jobs.size());
    for (const auto& [factor, count] : per_factor) std::printf(" x%u:%d", factor, count);
    std::printf(
        " ), %zu tiling (wrap padded), %zu network inputs, %.1f -> %.1f "
        "Mpx (model %s, settings %s)\n",
        tiling, inputs, source_mpx, result_mpx, o.model.c_str(), settings.c_str());

    double upscale_seconds = 0, post_seconds = 0;
    std::size_t upscaled = 0;
    int failed = 0;
    if (!jobs.empty()) {
        const std::string tile = o.tile ? *o.tile : std::to_string(largest_input);
        for (std::size_t run = 0; run < runs.models.size(); ++run) {
            if (inputs_per_run[run] == 0) continue;
            UpscalerBatch batch = run_upscaler_batch(config, runs.models[run], batches[run].in, batches[run].out,
                                                     TileSetting{tile, false}, fs::path(), FailureText::returned);
            upscale_seconds += batch.seconds;
            // Without the network's outputs every texture would fail: end here, before the
            // manifest or any cached texture is touched, so the next build redoes exactly this.
            if (!batch.error.empty()) {
                if (batch.error.back() == '\n') batch.error.pop_back();
                throw std::runtime_error(batch.error);
            }
        }

        const Stopwatch post;
        std::vector<ModelJobResult> results(jobs.size());
        {
            Progress progress("post", jobs.size());
            platform::run_jobs(jobs.size(), [&](std::size_t i) {
                results[i] = post_process(jobs[i], o, batches, colour_run, alpha_run, pc_run);
                progress.tick();
            });
        }
        double before_sum = 0, after_sum = 0;
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            const ModelJobResult& r = results[i];
            if (r.error.empty()) {
                if (o.verbose)
                    std::printf("%s x%u consistency %.2f -> %.2f\n", jobs[i].stem.c_str(), jobs[i].record.factor,
                                r.before, r.after);
                manifest[jobs[i].stem] = jobs[i].record;
                before_sum += r.before;
                after_sum += r.after;
                ++upscaled;
            } else {
                std::fprintf(stderr, "%s: %s\n", jobs[i].stem.c_str(), r.error.c_str());
                manifest.erase(jobs[i].stem);
                ++failed;
            }
        }
        if (upscaled > 0)
            std::printf(
                "mean |source - box(HD)|: %.2f after Real-ESRGAN, %.2f after "
                "back-projection\n",
                before_sum / static_cast<double>(upscaled), after_sum / static_cast<double>(upscaled));
        post_seconds = post.seconds();
    }
    if (manifest != loaded) write_model_manifest(manifest_path, manifest);
    work.remove();

    std::size_t entries = 0;
    double colour_mb = 0, mask_mb = 0;
    for (const auto& [stem, record] : manifest) {
        if (is_ui_record(record)) continue;
        ++entries;
        colour_mb += file_megabytes(cache_file(o.cache_dir, stem + ".png"));
        mask_mb += file_megabytes(cache_file(o.cache_dir, stem + "_pc.png"));
    }
    std::printf(
        "done: %zu upscaled, %d failed, cache %zu entries %.1f MB (+ "
        "masks %.1f MB) | prepare %.1f s, "
        "Real-ESRGAN %.1f s, post %.1f s, total %.1f s\n",
        upscaled, failed, entries, colour_mb, mask_mb, prepare_seconds, upscale_seconds, post_seconds, total.seconds());
    return failed > 0 ? 1 : 0;
}

}  // namespace tarkeep::upscale
