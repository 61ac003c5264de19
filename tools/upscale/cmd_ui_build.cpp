// --ui-build: the sprite sheets of the in-game HUD at twice their size, redoing only
// the sheets that changed since the last run.
#include <cstdio>
#include <map>
#include <set>
#include <stdexcept>

#include "data/game_archives.h"
#include "data/game_db.h"
#include "data/game_file_names.h"
#include "data/texture/texture_image.h"
#include "image/png_files.h"
#include "platform/file_bytes.h"
#include "platform/files.h"
#include "tools/upscale/open_game.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/model_manifest.h"
#include "tools/upscale/numbers.h"
#include "tools/upscale/pipeline.h"
#include "tools/upscale/progress.h"
#include "tools/upscale/streamed_post.h"
#include "tools/upscale/ui_build.h"
#include "tools/upscale/upscaler_config.h"
#include "tools/upscale/upscaler_runner.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;
using image::RingStats;

// One run per model, in "in_1", "in_2", ... with the child's errors in "upscale_1.log", ...
constexpr RunNames kRunNames = RunNames::numbered_logged;
constexpr std::size_t kMostRuns = 3;

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
    std::set<std::string> entries = NetworkRuns::work_entries(kRunNames, kMostRuns);
    for (const auto& [stem, sheet] : collected.sheets) entries.insert(stem + "_raw.png");
    return entries;
}

// Ring statistics of the stored sheets, over all of them and per class.
struct RingTotals {
    RingStats before;
    RingStats after;
    std::map<std::string, std::pair<RingStats, RingStats>> per_class;

    void add_sheet(const std::string& cls, const UiJobResult& r) {
        add(before, r.ring_before);
        add(after, r.ring_after);
        add(per_class[cls].first, r.ring_before);
        add(per_class[cls].second, r.ring_after);
    }
};

void print_totals(const ConsistencyTotals& consistency, const RingTotals& rings) {
    std::printf("mean |source - box(HD)| per pass: %.2f after Real-ESRGAN, %.2f after back-projection\n",
                consistency.mean_before(), consistency.mean_after());
    const RingStats &before = rings.before, &after = rings.after;
    std::printf(
        "sprite rects (RGB of alpha >= 128, levels): ring %.2f -> %.2f, inner %.2f -> %.2f; alpha ring %.2f -> "
        "%.2f, inner %.2f -> %.2f (before -> after back-projection)\n",
        ring(before), ring(after), inner(before), inner(after), alpha_ring(before), alpha_ring(after),
        alpha_inner(before), alpha_inner(after));
    for (const auto& [cls, sheet] : rings.per_class)
        std::printf("  %s: ring %.2f -> %.2f, inner %.2f -> %.2f, alpha ring %.2f -> %.2f\n", cls.c_str(),
                    ring(sheet.first), ring(sheet.second), inner(sheet.first), inner(sheet.second),
                    alpha_ring(sheet.first), alpha_ring(sheet.second));
}

void print_sheet(const UiJob& job, const UiJobResult& r) {
    std::printf(
        "%s %s %s passes %zu consistency %.2f -> %.2f | border ring %.2f -> %.2f inner %.2f -> %.2f alpha "
        "ring %.2f -> %.2f\n",
        job.stem.c_str(), job.cls.c_str(), job.record.model.c_str(), job.passes.size(), r.before, r.after,
        ring(r.ring_before), ring(r.ring_after), inner(r.ring_before), inner(r.ring_after), alpha_ring(r.ring_before),
        alpha_ring(r.ring_after));
}

double pass_area(const UiJob& job) {
    double area = 0;
    for (const UiPass& pass : job.passes) area += static_cast<double>(pass.rect.width) * pass.rect.height;
    return area;
}

// A sheet's job with its new manifest record; it gets its passes once it is known to be stale.
UiJob sheet_job(const std::string& stem, const UiSheet& sheet, const std::string& hash, const std::string& settings,
                const UiBuildOptions& o, NetworkRuns& runs) {
    const std::string cls = classify_ui_sheet(sheet);
    const std::string& colour_model = cls == "icon" ? o.icon_model : o.panel_model;
    return {stem,
            {hash, colour_model, settings, 2 * sheet.width, 2 * sheet.height, 2},
            sheet,
            cls,
            runs.run_of(colour_model),
            runs.run_of(o.alpha_model),
            {},
            {}};
}

bool is_stored(const ModelManifest& manifest, const UiJob& job, const UiBuildOptions& o) {
    const auto stored = manifest.find(job.stem);
    return !o.force && stored != manifest.end() && stored->second == job.record &&
           platform::path_exists(cache_file(o.cache_dir, job.stem + ".png"));
}

// What the prepare phase counts for its report line.
struct PrepareCounts {
    std::size_t below = 0;
    std::size_t up_to_date = 0;
    std::size_t split = 0;
    double sheet_mpx = 0;
    double pass_mpx = 0;
    std::map<std::string, int> per_class;

    void add(const UiJob& job) {
        for (const UiPass& pass : job.passes) {
            if (pass.tiles.size() > 1) ++split;
            pass_mpx += static_cast<double>(pass.rect.width) * pass.rect.height / 1e6;
        }
        sheet_mpx += static_cast<double>(job.sheet.width) * job.sheet.height / 1e6;
        ++per_class[job.cls];
    }
};

void print_prepared(std::size_t sheets, std::size_t jobs, const PrepareCounts& counts, std::size_t inputs,
                    const UiBuildOptions& o, const std::string& settings) {
    std::printf("%zu UI sheets: %zu below %u px, %zu up to date, %zu to upscale (", sheets, counts.below, o.min_size,
                counts.up_to_date, jobs);
    for (const auto& [cls, count] : counts.per_class) std::printf(" %s:%d", cls.c_str(), count);
    std::printf(
        " ), %zu network inputs (%zu passes split into tiles), %.1f Mpx sheets, %.1f Mpx passes (pack %s, icon %s, "
        "panel %s, alpha %s, settings %s)\n",
        inputs, counts.split, counts.sheet_mpx, counts.pass_mpx, o.pack.c_str(), o.icon_model.c_str(),
        o.panel_model.c_str(), o.alpha_model.c_str(), settings.c_str());
}

}  // namespace

int cmd_ui_build(const Args& args) {
    const Stopwatch total;
    const std::optional<UiBuildOptions> read = read_ui_build_options(args);
    if (!read) return kRefused;
    const UiBuildOptions& o = *read;
    const double save_every = real_value(args, "--save-every", "30");
    const UpscalerConfig config = make_upscaler_config(args);
    const std::set<std::string> model_set = {o.icon_model, o.panel_model, o.alpha_model};
    const std::vector<std::string> models(model_set.begin(), model_set.end());
    if (refuse(models_problem(config, models)) || refuse(foreign_manifest_problem(o.cache_dir))) return kRefused;
    const std::string settings = ui_settings_string(o, upscaler_settings_suffix(config, models));

    const data::GameDb db(o.morv_dir / "zips" / "db.zip");
    const data::GameArchives archives = open_game_archives(o.morv_dir);
    const UiSheets collected = collect_ui_sheets(db, archives, o.all_tables);
    for (const auto& [table, count] : collected.tables)
        std::printf("table %s: %s\n", table.c_str(),
                    collected.skipped.count(table) ? "skipped (not drawn by the in-game HUD)" : "included");
    if (refuse(check_work_folder(o.work_dir, {o.cache_dir, o.morv_dir}, ui_work_entries(collected)))) return kRefused;
    const std::map<std::string, UiSheet> sheets =
        keep_only(collected.sheets, o.only, "a UI sheet of the included tables");

    platform::create_folders(o.cache_dir);
    platform::remove_stale_temporaries(o.cache_dir);
    const fs::path manifest_path = o.cache_dir / "manifest.txt";
    const ModelManifest loaded = read_model_manifest(manifest_path);
    ModelManifest manifest = loaded;

    const Stopwatch prepare;
    WorkFolder work(o.work_dir, o.keep_work);
    NetworkRuns runs(work, kRunNames, UpscalerFailure::fail_dependants);
    for (const std::string& model : models) runs.run_of(model);

    std::vector<UiJob> jobs;
    std::vector<std::vector<NetworkOutput>> outputs;  // what each job waits for
    std::set<std::string> considered;
    PrepareCounts counts;
    SkippedTextures skipped;
    add_not_in_archives(skipped, collected.missing, o.only);
    int unreadable = 0;
    {
        Progress progress("prepare", sheets.size());
        for (const auto& [stem, sheet] : sheets) {
            progress.tick();
            if (!sheet.problem.empty()) {
                std::fprintf(stderr, "%s: %s\n", stem.c_str(), sheet.problem.c_str());
                ++unreadable;
                continue;
            }
            if (std::min(sheet.width, sheet.height) < o.min_size || sheet.distinct_rects.empty()) {
                ++counts.below;
                skipped[stem] = std::min(sheet.width, sheet.height) < o.min_size
                                    ? std::to_string(sheet.width) + "x" + std::to_string(sheet.height) +
                                          " below --min-size " + std::to_string(o.min_size)
                                    : "no sprite rectangle inside the sheet";
                continue;
            }
            considered.insert(stem);
            if (const auto kept = manifest.find(stem); kept != manifest.end() && !is_ui_record(kept->second)) {
                // One file name, two images: rebuilding would only overwrite the model build's.
                std::fprintf(stderr, "warning: %s is kept by the model build in this cache: not rebuilt here\n",
                             stem.c_str());
                continue;
            }
            const std::vector<std::uint8_t> bytes = archives.read(sheet.texture);
            const std::string hash = model_source_hash(bytes, archives.read_or_empty(data::mask_file(stem)));
            UiJob job = sheet_job(stem, sheet, hash, settings, o, runs);
            if (is_stored(manifest, job, o)) {
                ++counts.up_to_date;
                continue;
            }
            try {
                job.decoded = data::texture_to_rgba(bytes);
                if (job.decoded.width != sheet.width || job.decoded.height != sheet.height)
                    throw std::runtime_error("size mismatch: decoded " + std::to_string(job.decoded.width) + "x" +
                                             std::to_string(job.decoded.height) + ", listed " +
                                             std::to_string(sheet.width) + "x" + std::to_string(sheet.height));
            } catch (const std::exception& error) {
                // This sheet fails alone; its cache stays as it was.
                std::fprintf(stderr, "%s: %s\n", stem.c_str(), error.what());
                ++unreadable;
                continue;
            }
            prepare_ui_passes(job, o, runs);
            counts.add(job);
            jobs.push_back(std::move(job));
            outputs.push_back(runs.take_written());
        }
    }
    const double prepare_seconds = prepare.seconds();
    print_prepared(sheets.size(), jobs.size(), counts, runs.inputs(), o, settings);

    StreamedPost<UiJob, UiJobResult> post(jobs, std::move(outputs), runs,
                                          [&](const UiJob& job) { return post_process_ui_sheet(job, o, runs); });
    PeriodicSave saver(save_every, [&] { write_model_manifest(manifest_path, manifest); });
    const double upscale_seconds = runs.run_all(
        config,
        [&](const NetworkRun& run) {
            return TileSetting{o.tile.value_or(tile_for_largest(run.largest_input)), false};
        },
        post.while_running(manifest, saver));

    // What the network did not hide: the sheets still waiting when it ended.
    const Stopwatch post_watch;
    post.finish(runs.interrupted() ? PostScope::complete_only : PostScope::all, "post");
    const double post_seconds = post_watch.seconds();

    ConsistencyTotals consistency;
    RingTotals rings;
    Tally tally = merge_results(jobs, post.results(), manifest, [&](const UiJob& job, const UiJobResult& r) {
        consistency.add(r.before, r.after, pass_area(job));
        rings.add_sheet(job.cls, r);
        if (o.verbose) print_sheet(job, r);
    });
    tally.failed += unreadable;
    print_totals(consistency, rings);

    // The model build keeps its records in the same manifest and folder; only UI records are
    // this build's to drop.
    if (o.only.empty())
        drop_records(manifest, o.cache_dir, {".png"}, [&](const std::string& stem, const auto& record) {
            return is_ui_record(record) && !considered.count(stem);
        });
    if (manifest != loaded) write_model_manifest(manifest_path, manifest);
    work.remove();

    const std::vector<std::string> stored = stems_where(manifest, [](const auto& r) { return is_ui_record(r); });
    std::printf(
        "done: %zu upscaled, %d failed, cache %zu entries %.1f MB | prepare %.1f s, Real-ESRGAN %.1f s, post %.1f s, "
        "total %.1f s\n",
        tally.upscaled, tally.failed, stored.size(), cache_megabytes(o.cache_dir, stored, ".png"), prepare_seconds,
        upscale_seconds, post_seconds, total.seconds());
    if (o.verbose) print_skipped(skipped);
    return build_status(tally.failed, post.left());
}

}  // namespace tarkeep::upscale
