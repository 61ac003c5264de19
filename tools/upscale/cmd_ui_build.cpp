// --ui-build: the sprite sheets of the in-game HUD at twice their size, redoing only
// the sheets that changed since the last run.
#include <cstdio>
#include <map>
#include <set>
#include <stdexcept>

#include "data/game_archives.h"
#include "data/game_db.h"
#include "data/texture/texture_image.h"
#include "image/png_files.h"
#include "platform/cmdline.h"
#include "platform/file_bytes.h"
#include "platform/files.h"
#include "platform/worker_pool.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/model_manifest.h"
#include "tools/upscale/progress.h"
#include "tools/upscale/ui_build.h"
#include "tools/upscale/upscaler_config.h"
#include "tools/upscale/upscaler_runner.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;
using image::RingStats;

fs::path cache_file(const fs::path& cache_dir, const std::string& name) {
    return cache_dir / platform::path_from_utf8(name);
}

double file_megabytes(const fs::path& path) {
    std::error_code error;
    const auto status = platform::path_status(path, error);
    return error ? 0.0 : static_cast<double>(status.size) / 1048576.0;
}

double ratio(double sum, double count) { return count > 0 ? sum / count : 0.0; }

void add(RingStats& total, const RingStats& s) {
    total.ring_colour_error += s.ring_colour_error;
    total.inner_colour_error += s.inner_colour_error;
    total.ring_alpha_error += s.ring_alpha_error;
    total.inner_alpha_error += s.inner_alpha_error;
    total.ring_colour_count += s.ring_colour_count;
    total.inner_colour_count += s.inner_colour_count;
    total.ring_alpha_count += s.ring_alpha_count;
    total.inner_alpha_count += s.inner_alpha_count;
}

double ring(const RingStats& s) { return ratio(s.ring_colour_error, s.ring_colour_count); }
double inner(const RingStats& s) { return ratio(s.inner_colour_error, s.inner_colour_count); }
double alpha_ring(const RingStats& s) { return ratio(s.ring_alpha_error, s.ring_alpha_count); }
double alpha_inner(const RingStats& s) { return ratio(s.inner_alpha_error, s.inner_alpha_count); }

// What earlier UI builds may have left in the work folder.
std::set<std::string> ui_work_entries(const UiSheets& collected) {
    std::set<std::string> entries;
    for (int i = 1; i <= 3; ++i) {
        for (const char* kind : {"in_", "out_"}) entries.insert(kind + std::to_string(i));
        entries.insert("upscale_" + std::to_string(i) + ".log");
    }
    for (const auto& [stem, sheet] : collected.sheets) entries.insert(stem + "_raw.png");
    return entries;
}

std::string tile_text(const UiBuildOptions& o, const UiRun& run) {
    if (o.tile) return *o.tile;
    return std::to_string(std::max<std::uint32_t>(32, (run.largest_input + 3) / 4 * 4));
}

}  // namespace

int cmd_ui_build(const Args& args) {
    const Stopwatch total;
    const std::optional<UiBuildOptions> read = read_ui_build_options(args);
    if (!read) return 2;
    const UiBuildOptions& o = *read;
    const UpscalerConfig config = make_upscaler_config(args);
    const std::set<std::string> models = {o.icon_model, o.panel_model, o.alpha_model};
    for (const std::string& model : models) {
        if (std::string problem = check_model(config, model); !problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 2;
        }
    }
    if (std::string problem = foreign_manifest_problem(o.cache_dir); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 2;
    }
    const std::string settings =
        ui_settings_string(o, upscaler_settings_suffix(config, std::vector<std::string>(models.begin(), models.end())));

    const data::GameDb db(o.morv_dir / "zips" / "db.zip");
    const data::GameArchives archives(o.morv_dir);
    UiSheets collected = collect_ui_sheets(db, archives, o.all_tables);
    for (const auto& [table, count] : collected.tables)
        std::printf("table %s: %s\n", table.c_str(),
                    collected.skipped.count(table) ? "skipped (not drawn by the in-game HUD)" : "included");
    if (std::string problem = check_work_folder(o.work_dir, {o.cache_dir, o.morv_dir}, ui_work_entries(collected));
        !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 2;
    }
    std::map<std::string, UiSheet> sheets;
    if (o.only.empty()) {
        sheets = collected.sheets;
    } else {
        for (const std::string& stem : o.only) {
            const auto it = collected.sheets.find(stem);
            if (it == collected.sheets.end()) {
                std::fprintf(stderr, "warning: %s is not a UI sheet of the included tables\n", stem.c_str());
            } else {
                sheets.insert(*it);
            }
        }
    }

    platform::create_folders(o.cache_dir);
    platform::remove_stale_temporaries(o.cache_dir);
    const fs::path manifest_path = o.cache_dir / "manifest.txt";
    const ModelManifest loaded = read_model_manifest(manifest_path);
    ModelManifest manifest = loaded;

    const Stopwatch prepare;
    WorkFolder work(o.work_dir, o.keep_work);
    std::vector<UiRun> runs;
    std::map<std::string, std::size_t> run_of;
    for (const std::string& model : models) {
        const std::string batch = std::to_string(runs.size() + 1);
        run_of[model] = runs.size();
        UiRun run;
        run.model = model;
        run.folders = work.add_batch(batch);
        run.log = work.root() / ("upscale_" + batch + ".log");
        runs.push_back(std::move(run));
    }

    std::vector<UiJob> jobs;
    std::vector<ModelManifestRecord> records;
    std::set<std::string> considered;
    std::map<std::string, int> per_class;
    std::size_t below = 0, up_to_date = 0, split = 0;
    double sheet_mpx = 0, pass_mpx = 0;
    {
        Progress progress("prepare", sheets.size());
        for (const auto& [stem, sheet] : sheets) {
            progress.tick();
            if (std::min(sheet.width, sheet.height) < o.min_size || sheet.distinct_rects.empty()) {
                ++below;
                continue;
            }
            considered.insert(stem);
            const std::vector<std::uint8_t> bytes = archives.read(sheet.texture);
            const std::string mask_name = stem + "_pc.texcache";
            const std::vector<std::uint8_t> mask =
                archives.contains(mask_name) ? archives.read(mask_name) : std::vector<std::uint8_t>();
            UiJob job{sheet, classify_ui_sheet(sheet), 0, run_of[o.alpha_model], {}, {}};
            const std::string& colour_model = job.cls == "icon" ? o.icon_model : o.panel_model;
            job.colour_run = run_of[colour_model];
            const ModelManifestRecord record{
                model_source_hash(bytes, mask), colour_model, settings, 2 * sheet.width, 2 * sheet.height, 2};
            const auto stored = manifest.find(stem);
            if (!o.force && stored != manifest.end() && stored->second == record &&
                platform::path_exists(cache_file(o.cache_dir, stem + ".png"))) {
                ++up_to_date;
                continue;
            }
            job.decoded = data::texture_to_rgba(bytes);
            if (job.decoded.width != sheet.width || job.decoded.height != sheet.height)
                throw std::runtime_error("size mismatch");
            prepare_ui_passes(job, o, runs);
            for (const UiPass& pass : job.passes) {
                if (pass.tiles.size() > 1) ++split;
                pass_mpx += static_cast<double>(pass.rect.width) * pass.rect.height / 1e6;
            }
            sheet_mpx += static_cast<double>(sheet.width) * sheet.height / 1e6;
            ++per_class[job.cls];
            jobs.push_back(std::move(job));
            records.push_back(record);
        }
    }
    const double prepare_seconds = prepare.seconds();
    std::size_t inputs = 0;
    for (const UiRun& run : runs) inputs += run.inputs;
    std::printf("%zu UI sheets: %zu below %u px, %zu up to date, %zu to upscale (", sheets.size(), below, o.min_size,
                up_to_date, jobs.size());
    for (const auto& [cls, count] : per_class) std::printf(" %s:%d", cls.c_str(), count);
    std::printf(
        " ), %zu network inputs (%zu passes split into tiles), %.1f Mpx sheets, %.1f Mpx passes (pack %s, icon %s, "
        "panel %s, alpha %s, settings %s)\n",
        inputs, split, sheet_mpx, pass_mpx, o.pack.c_str(), o.icon_model.c_str(), o.panel_model.c_str(),
        o.alpha_model.c_str(), settings.c_str());

    double upscale_seconds = 0;
    for (UiRun& run : runs) {
        if (run.inputs == 0) continue;
        const UpscalerBatch batch =
            run_upscaler_batch(config, run.model, run.folders.in, run.folders.out, {tile_text(o, run), false}, run.log);
        upscale_seconds += batch.seconds;
        if (!batch.error.empty()) {
            std::fputs("  (GPU out of memory? try a smaller --tile-max)\n", stderr);
            run.failed = true;
        }
    }

    const Stopwatch post;
    std::vector<UiJobResult> results(jobs.size());
    {
        Progress progress("post", jobs.size());
        platform::run_jobs(jobs.size(), [&](std::size_t i) {
            results[i] = post_process_ui_sheet(jobs[i], o, runs);
            progress.tick();
        });
    }
    const double post_seconds = post.seconds();

    std::size_t upscaled = 0;
    int failed = 0;
    double before_sum = 0, after_sum = 0, weight = 0;
    RingStats ring_before, ring_after;
    std::map<std::string, std::pair<RingStats, RingStats>> class_rings;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const UiJob& job = jobs[i];
        const UiJobResult& r = results[i];
        if (!r.error.empty()) {
            ++failed;
            manifest.erase(job.sheet.stem);
            std::fprintf(stderr, "%s: %s\n", job.sheet.stem.c_str(), r.error.c_str());
            continue;
        }
        ++upscaled;
        manifest[job.sheet.stem] = records[i];
        double area = 0;
        for (const UiPass& pass : job.passes) area += static_cast<double>(pass.rect.width) * pass.rect.height;
        before_sum += r.before * area;
        after_sum += r.after * area;
        weight += area;
        add(ring_before, r.ring_before);
        add(ring_after, r.ring_after);
        add(class_rings[job.cls].first, r.ring_before);
        add(class_rings[job.cls].second, r.ring_after);
        if (o.verbose)
            std::printf(
                "%s %s %s passes %zu consistency %.2f -> %.2f | border ring %.2f -> %.2f inner %.2f -> %.2f alpha "
                "ring %.2f -> %.2f\n",
                job.sheet.stem.c_str(), job.cls.c_str(), records[i].model.c_str(), job.passes.size(), r.before, r.after,
                ring(r.ring_before), ring(r.ring_after), inner(r.ring_before), inner(r.ring_after),
                alpha_ring(r.ring_before), alpha_ring(r.ring_after));
    }
    std::printf("mean |source - box(HD)| per pass: %.2f after Real-ESRGAN, %.2f after back-projection\n",
                ratio(before_sum, weight), ratio(after_sum, weight));
    std::printf(
        "sprite rects (RGB of alpha >= 128, levels): ring %.2f -> %.2f, inner %.2f -> %.2f; alpha ring %.2f -> "
        "%.2f, inner %.2f -> %.2f (before -> after back-projection)\n",
        ring(ring_before), ring(ring_after), inner(ring_before), inner(ring_after), alpha_ring(ring_before),
        alpha_ring(ring_after), alpha_inner(ring_before), alpha_inner(ring_after));
    for (const auto& [cls, rings] : class_rings)
        std::printf("  %s: ring %.2f -> %.2f, inner %.2f -> %.2f, alpha ring %.2f -> %.2f\n", cls.c_str(),
                    ring(rings.first), ring(rings.second), inner(rings.first), inner(rings.second),
                    alpha_ring(rings.first), alpha_ring(rings.second));

    if (o.only.empty()) {
        // The model build keeps its records in the same manifest and folder; only UI
        // records are this build's to drop.
        for (auto it = manifest.begin(); it != manifest.end();) {
            if (!is_ui_record(it->second) || considered.count(it->first)) {
                ++it;
                continue;
            }
            std::error_code ignored;
            platform::remove_path(cache_file(o.cache_dir, it->first + ".png"), ignored);
            it = manifest.erase(it);
        }
    }
    if (manifest != loaded) write_model_manifest(manifest_path, manifest);
    work.remove();

    std::size_t entries = 0;
    double megabytes = 0;
    for (const auto& [stem, record] : manifest) {
        if (!is_ui_record(record)) continue;
        ++entries;
        megabytes += file_megabytes(cache_file(o.cache_dir, stem + ".png"));
    }
    std::printf(
        "done: %zu upscaled, %d failed, cache %zu entries %.1f MB | prepare %.1f s, Real-ESRGAN %.1f s, post %.1f s, "
        "total %.1f s\n",
        upscaled, failed, entries, megabytes, prepare_seconds, upscale_seconds, post_seconds, total.seconds());
    return failed > 0 ? 1 : 0;
}

}  // namespace tarkeep::upscale
