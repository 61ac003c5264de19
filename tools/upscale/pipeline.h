// What the upscaling pipelines share: the checks before any work, the --only choice, the network
// runs over the work folder and reading their outputs, post-processing on the worker pool, and
// merging the results into the manifest on the main thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "image/rgba_image.h"
#include "tools/upscale/progress.h"
#include "tools/upscale/upscaler_config.h"
#include "tools/upscale/upscaler_runner.h"
#include "tools/upscale/work_folder.h"

namespace tarkeep::upscale {

// The status of a command that refuses to start: bad usage, a model that cannot run, an
// unsafe work folder.
inline constexpr int kRefused = 2;

// Prints `problem` and a line feed on standard error and returns true when there is one, so
// that `if (refuse(...)) return kRefused;` ends a command before it does any work.
bool refuse(const std::string& problem);

// Why the first model that cannot run cannot, empty when all of them can.
std::string models_problem(const UpscalerConfig& config, const std::vector<std::string>& models);

// The entries of `all` that --only names, in `all`'s order; all of them without --only. A
// name that is not there prints "warning: <name> is not <what>" on standard error.
template <class Map>
Map keep_only(const Map& all, const std::vector<std::string>& only, const char* what) {
    if (only.empty()) return all;
    Map kept;
    for (const std::string& name : only) {
        const auto it = all.find(name);
        if (it == all.end()) {
            std::fprintf(stderr, "warning: %s is not %s\n", name.c_str(), what);
        } else {
            kept.insert(*it);
        }
    }
    return kept;
}

// How a pipeline names its runs' folders in the work folder. A later run recognises an
// earlier one's leftovers by these names, so each pipeline keeps the names it has.
enum class RunNames {
    plain_first,      // "in", "out", then "in_2", "out_2", ...; the child's errors reach the console
    numbered_logged,  // "in_1", "out_1", "upscale_1.log", ...; the child's errors go to the log
};

// What a failed upscaler run does to a pipeline; the one place these outcomes are decided.
enum class UpscalerFailure {
    // Terrain: the failure is printed and post-processing goes on with whatever outputs exist;
    // a missing output fails its texture alone ("cannot read <path>").
    go_on,
    // Models: the failure text becomes the command's error (status 1) at once, before the
    // manifest or any cached file is touched, so the next build redoes exactly this.
    end_command,
    // UI: the failure is printed with a hint about the tile size, the other runs still run,
    // and every output read from the failed run fails with "<label> <model> failed".
    fail_dependants,
};

// One run of the outside upscaler: a model over its input folder into its output folder.
struct NetworkRun {
    std::string model;
    UpscalerFolders folders;
    std::filesystem::path log;  // empty: the child's error stream is not captured
    std::size_t inputs = 0;
    std::uint32_t largest_input = 0;  // the larger side of its largest input
    bool ended = false;
    bool failed = false;
};

// One network output that a job waits for: <name>.png of a run, and its input's size.
struct NetworkOutput {
    std::size_t run = 0;
    std::string name;
    double input_mpx = 0;
};

// How many network outputs are complete, and the megapixels of their inputs.
struct OutputsSeen {
    std::size_t count = 0;
    double input_mpx = 0;
};

// What a pipeline does while the network runs: `poll` is called about four times a second and
// tells what it has seen, for the progress line; once `stop` is true the running child is ended
// and no later run starts.
struct WhileRunning {
    std::function<OutputsSeen()> poll;
    const std::atomic<bool>* stop = nullptr;
};

// The part of a network input a pipeline keeps, in input pixels.
struct NetworkCrop {
    std::uint32_t input_width = 0;
    std::uint32_t input_height = 0;
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// A width x height source padded by `margin` on every side, of which the source is kept.
NetworkCrop inside_margin(std::uint32_t width, std::uint32_t height, int margin);

// Whether the wrong-size error begins with the output's file name ("<name>.png: unexpected
// output size WxH") or not, where the report names the item already.
enum class SizeErrorText { bare, after_file_name };

// A network output: kNetworkScale times its input, cropped to kNetworkScale times the kept
// part. Fails with "cannot read <path>" when it is missing and "unexpected output size WxH"
// (the size found) when it is not kNetworkScale times the input.
image::RgbaImage read_network_output(const std::filesystem::path& file, const NetworkCrop& crop, SizeErrorText text);

// The largest side of a run's inputs rounded up to a multiple of 4, at least 32: the tile
// size when the user gives none.
std::string tile_for_largest(std::uint32_t largest_input);

// Every network run of one command, run the same way; one run per model.
class NetworkRuns {
public:
    NetworkRuns(WorkFolder& work, RunNames names, UpscalerFailure on_failure);

    // The run of `model`, made with its folders the first time the model is named.
    std::size_t run_of(const std::string& model);

    // Writes the network input <name>.png of a run, uncompressed: the upscaler reads it once.
    void write_input(std::size_t run, const std::string& name, const image::RgbaImage& input);
    // The outputs of the inputs written since the last call: what the job being prepared waits for.
    std::vector<NetworkOutput> take_written();

    // Runs every run that has inputs, in order, printing "<label> <model>: <s> s" for each, and
    // deals with a failure as the policy says (for end_command: no later run, and the error
    // kept for the command to end with). Returns the seconds of all runs.
    double run_all(const UpscalerConfig& config, const std::function<TileSetting(const NetworkRun&)>& tile_of,
                   const WhileRunning& while_running = {});
    // True when a stop request ended the runs early.
    bool interrupted() const { return interrupted_; }
    // The failure that ends an end_command pipeline, empty when there was none.
    const std::string& ending_error() const { return ending_error_; }

    // True when the output can be post-processed: a complete PNG, and for fail_dependants
    // only once its run has ended without failing (a later failure would fail the job).
    bool output_complete(const NetworkOutput& output) const;
    // The names (without ".png") of the files in each run's output folder now, by run.
    std::vector<std::set<std::string>> outputs_present() const;

    // read_network_output of the run's <name>.png; see UpscalerFailure for a failed run.
    image::RgbaImage read_output(std::size_t run, const std::string& name, const NetworkCrop& crop,
                                 SizeErrorText text) const;

    const NetworkRun& operator[](std::size_t run) const { return runs_.at(run); }
    std::size_t inputs() const;
    std::uint32_t largest_input() const;

    // What runs of up to `runs` models named this way leave in a work folder.
    static std::set<std::string> work_entries(RunNames names, std::size_t runs);

private:
    WorkFolder& work_;
    RunNames names_;
    UpscalerFailure on_failure_;
    std::vector<NetworkRun> runs_;
    std::vector<NetworkOutput> written_;
    double input_mpx_ = 0;
    bool interrupted_ = false;
    std::string ending_error_;
};

struct Tally {
    std::size_t upscaled = 0;
    int failed = 0;
};

// The main thread's merge, in job order; a job without a result was left for the next run. A
// job that succeeded stores its `record` in the manifest under its `stem` and is handed to
// `on_success` (job, result); one that failed is printed as "<stem>: <error>" on standard
// error and keeps the record it had, if any: its cache files were not replaced, so an earlier
// good result stays listed, and a record of other sources or settings is redone next time.
template <class Job, class Result, class Manifest, class OnSuccess>
Tally merge_results(const std::vector<Job>& jobs, const std::vector<std::optional<Result>>& results, Manifest& manifest,
                    OnSuccess&& on_success) {
    Tally tally;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (!results[i]) continue;
        if (!results[i]->error.empty()) {
            ++tally.failed;
            std::fprintf(stderr, "%s: %s\n", jobs[i].stem.c_str(), results[i]->error.c_str());
            continue;
        }
        ++tally.upscaled;
        manifest[jobs[i].stem] = jobs[i].record;
        on_success(jobs[i], *results[i]);
    }
    return tally;
}

// Why each texture a build left out was left out, by stem: printed with --verbose after the
// report as "skipped <stem>: <why>", in stem order.
using SkippedTextures = std::map<std::string, std::string>;
void print_skipped(const SkippedTextures& skipped);

// Records each of `names` that --only keeps (all of them without --only) as "not in the archives".
void add_not_in_archives(SkippedTextures& skipped, const std::set<std::string>& names,
                         const std::vector<std::string>& only);

// The status of a run ended by Ctrl+C or a termination request.
inline constexpr int kInterrupted = 130;

// The flag that Ctrl+C, termination and the console closing set from the first call on; a
// second request ends the program at once with kInterrupted.
const std::atomic<bool>& stop_requests();

// The status a build ends with, after its done line: after a stop request, 130 and the line
// "interrupted: N textures left for the next run"; else 1 when a texture failed, else 0.
int build_status(int failed, std::size_t left);

// Consistency before and after back-projection over the stored items, each with a weight
// (1 per texture, the passes' area per UI sheet).
struct ConsistencyTotals {
    double before = 0;
    double after = 0;
    double weight = 0;

    void add(double item_before, double item_after, double item_weight = 1) {
        before += item_before * item_weight;
        after += item_after * item_weight;
        weight += item_weight;
    }
    double mean_before() const { return weight > 0 ? before / weight : 0; }
    double mean_after() const { return weight > 0 ? after / weight : 0; }
};

// The stems of the manifest records that `keep` (record) picks, in stem order.
template <class Manifest, class Keep>
std::vector<std::string> stems_where(const Manifest& manifest, Keep&& keep) {
    std::vector<std::string> stems;
    for (const auto& [stem, record] : manifest)
        if (keep(record)) stems.push_back(stem);
    return stems;
}

// The files <stem><suffix> of the cache folder, in MB (bytes / 1048576); missing ones count 0.
double cache_megabytes(const std::filesystem::path& cache_dir, const std::vector<std::string>& stems,
                       const std::string& suffix);

// Removes the cache files <stem><suffix> that exist, ignoring errors.
void remove_cache_files(const std::filesystem::path& cache_dir, const std::string& stem,
                        const std::vector<std::string>& suffixes);

// Drops every manifest record that `stale` (stem, record) picks, and its cache files.
template <class Manifest, class Stale>
void drop_records(Manifest& manifest, const std::filesystem::path& cache_dir, const std::vector<std::string>& suffixes,
                  Stale&& stale) {
    for (auto it = manifest.begin(); it != manifest.end();) {
        if (!stale(it->first, it->second)) {
            ++it;
            continue;
        }
        remove_cache_files(cache_dir, it->first, suffixes);
        it = manifest.erase(it);
    }
}

}  // namespace tarkeep::upscale
