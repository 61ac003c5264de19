// The pipelines' shared steps: refusing to start, the network runs and their outputs, cache sizes.
#include "tools/upscale/pipeline.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <utility>

#include "image/kernels.h"
#include "image/png_files.h"
#include "platform/cmdline.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/signals.h"
#include "tools/upscale/cache_keys.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

std::string batch_name(RunNames names, std::size_t index) {
    if (names == RunNames::plain_first && index == 0) return {};
    return std::to_string(index + 1);
}

}  // namespace

bool refuse(const std::string& problem) {
    if (problem.empty()) return false;
    std::fprintf(stderr, "%s\n", problem.c_str());
    return true;
}

std::string models_problem(const UpscalerConfig& config, const std::vector<std::string>& models) {
    for (const std::string& model : models) {
        if (std::string problem = check_model(config, model); !problem.empty()) return problem;
    }
    return {};
}

NetworkCrop inside_margin(std::uint32_t width, std::uint32_t height, int margin) {
    const auto m = static_cast<std::uint32_t>(margin);
    return {width + 2 * m, height + 2 * m, m, m, width, height};
}

image::RgbaImage read_network_output(const fs::path& file, const NetworkCrop& crop, SizeErrorText text) {
    const image::RgbaImage output = image::read_png_file(file);
    if (std::uint64_t{output.width} != std::uint64_t{kNetworkScale} * crop.input_width ||
        std::uint64_t{output.height} != std::uint64_t{kNetworkScale} * crop.input_height) {
        const std::string prefix = text == SizeErrorText::bare ? "" : platform::path_to_utf8(file.filename()) + ": ";
        throw std::runtime_error(prefix + "unexpected output size " + std::to_string(output.width) + "x" +
                                 std::to_string(output.height));
    }
    return image::crop(output, kNetworkScale * crop.x, kNetworkScale * crop.y, kNetworkScale * crop.width,
                       kNetworkScale * crop.height);
}

std::string tile_for_largest(std::uint32_t largest_input) {
    return std::to_string(std::max<std::uint32_t>(32, (largest_input + 3) / 4 * 4));
}

NetworkRuns::NetworkRuns(WorkFolder& work, RunNames names, UpscalerFailure on_failure)
    : work_(work), names_(names), on_failure_(on_failure) {}

std::size_t NetworkRuns::run_of(const std::string& model) {
    for (std::size_t i = 0; i < runs_.size(); ++i)
        if (runs_[i].model == model) return i;
    const std::string batch = batch_name(names_, runs_.size());
    NetworkRun run;
    run.model = model;
    run.folders = work_.add_batch(batch);
    if (names_ == RunNames::numbered_logged) run.log = work_.root() / ("upscale_" + batch + ".log");
    runs_.push_back(std::move(run));
    return runs_.size() - 1;
}

void NetworkRuns::write_input(std::size_t run, const std::string& name, const image::RgbaImage& input) {
    NetworkRun& target = runs_.at(run);
    image::write_png_file(target.folders.in / platform::path_from_utf8(name + ".png"), input, false);
    target.largest_input = std::max({target.largest_input, input.width, input.height});
    ++target.inputs;
    written_.push_back({run, name, static_cast<double>(input.width) * input.height / 1e6});
    input_mpx_ += written_.back().input_mpx;
}

std::vector<NetworkOutput> NetworkRuns::take_written() { return std::exchange(written_, {}); }

namespace {

// Runs one upscaler child to its end, calling `while_running.poll` meanwhile; ends it early on
// a stop request. Returns the error text (empty on success) and sets `stopped`.
std::string run_watched(const UpscalerConfig& config, const NetworkRun& run, const TileSetting& tile,
                        const WhileRunning& while_running, Progress& progress, bool& stopped) {
    const std::string command = build_command(config, run.model, run.folders.in, run.folders.out, tile);
    const auto child = platform::ChildProcess::start(command, run.log);
    int code = -1;
    if (child) {
        for (;;) {
            if (const auto ended = child->wait_for(std::chrono::milliseconds(250))) {
                code = *ended;
                break;
            }
            if (while_running.stop && while_running.stop->load()) {
                stopped = true;
                child->end();
                return {};
            }
            if (!while_running.poll) continue;
            const OutputsSeen seen = while_running.poll();
            progress.set_done(seen.count, seen.input_mpx);
        }
    }
    if (while_running.stop && while_running.stop->load()) {
        // A Ctrl+C in a terminal reaches the child too; that is no failure of the network.
        stopped = true;
        return {};
    }
    return upscaler_failure(run.model, command, code, run.log);
}

}  // namespace

double NetworkRuns::run_all(const UpscalerConfig& config, const std::function<TileSetting(const NetworkRun&)>& tile_of,
                            const WhileRunning& while_running) {
    double seconds = 0;
    Progress progress("upscale", inputs(), input_mpx_);
    for (NetworkRun& run : runs_) {
        if (run.inputs == 0) continue;
        const TileSetting tile = tile_of(run);
        const Stopwatch watch;
        std::string error = run_watched(config, run, tile, while_running, progress, interrupted_);
        const double run_seconds = watch.seconds();
        seconds += run_seconds;
        progress.clear();
        std::printf("%s %s: %.1f s\n", upscaler_label(run.model), run.model.c_str(), run_seconds);
        run.ended = true;
        if (interrupted_) break;
        if (error.empty()) continue;
        run.failed = true;
        if (on_failure_ == UpscalerFailure::end_command) {
            if (error.back() == '\n') error.pop_back();
            ending_error_ = error;
            break;
        }
        std::fputs(error.c_str(), stderr);
        if (on_failure_ == UpscalerFailure::fail_dependants)
            std::fputs("  (GPU out of memory? try a smaller --tile-max)\n", stderr);
    }
    return seconds;
}

bool NetworkRuns::output_complete(const NetworkOutput& output) const {
    const NetworkRun& run = runs_.at(output.run);
    if (on_failure_ == UpscalerFailure::fail_dependants && (!run.ended || run.failed)) return false;
    return image::png_file_complete(run.folders.out / platform::path_from_utf8(output.name + ".png"));
}

image::RgbaImage NetworkRuns::read_output(std::size_t run, const std::string& name, const NetworkCrop& crop,
                                          SizeErrorText text) const {
    const NetworkRun& source = runs_.at(run);
    // Outputs of a failed run may be missing or partly written: none of them is trusted.
    if (on_failure_ == UpscalerFailure::fail_dependants && source.failed)
        throw std::runtime_error(std::string(upscaler_label(source.model)) + " " + source.model + " failed");
    return read_network_output(source.folders.out / platform::path_from_utf8(name + ".png"), crop, text);
}

std::size_t NetworkRuns::inputs() const {
    std::size_t total = 0;
    for (const NetworkRun& run : runs_) total += run.inputs;
    return total;
}

std::uint32_t NetworkRuns::largest_input() const {
    std::uint32_t largest = 0;
    for (const NetworkRun& run : runs_) largest = std::max(largest, run.largest_input);
    return largest;
}

std::set<std::string> NetworkRuns::work_entries(RunNames names, std::size_t runs) {
    std::set<std::string> entries;
    for (std::size_t i = 0; i < runs; ++i) {
        const std::string batch = batch_name(names, i);
        for (const std::string& folder : WorkFolder::batch_folder_names(batch)) entries.insert(folder);
        if (names == RunNames::numbered_logged) entries.insert("upscale_" + batch + ".log");
    }
    return entries;
}

void print_skipped(const SkippedTextures& skipped) {
    for (const auto& [stem, why] : skipped) std::printf("skipped %s: %s\n", stem.c_str(), why.c_str());
}

void add_not_in_archives(SkippedTextures& skipped, const std::set<std::string>& names,
                         const std::vector<std::string>& only) {
    for (const std::string& name : names)
        if (only.empty() || std::find(only.begin(), only.end(), name) != only.end())
            skipped[name] = "not in the archives";
}

const std::atomic<bool>& stop_requests() {
    static std::atomic<bool> requested{false};
    static const bool installed = [] {
        platform::install_stop_handler(requested);
        platform::end_at_second_stop(kInterrupted);
        return true;
    }();
    (void)installed;
    return requested;
}

int build_status(int failed, std::size_t left) {
    if (!stop_requests()) return failed > 0 ? 1 : 0;
    std::printf("interrupted: %zu textures left for the next run\n", left);
    std::fflush(stdout);
    // Closing the console on Windows ends the program once its handler returns; it waits for this.
    platform::stop_finished();
    return kInterrupted;
}

std::vector<std::set<std::string>> NetworkRuns::outputs_present() const {
    std::vector<std::set<std::string>> present(runs_.size());
    for (std::size_t run = 0; run < runs_.size(); ++run) {
        std::error_code missing;  // a run's folder may be gone already, or not yet written to
        for (const platform::FolderEntry& entry : platform::list_folder(runs_[run].folders.out, missing))
            if (entry.path.extension() == ".png")
                present[run].insert(platform::path_to_utf8(entry.path.filename().replace_extension()));
    }
    return present;
}

double cache_megabytes(const fs::path& cache_dir, const std::vector<std::string>& stems, const std::string& suffix) {
    std::uintmax_t bytes = 0;
    for (const std::string& stem : stems) {
        std::error_code error;
        const auto status = platform::path_status(cache_file(cache_dir, stem + suffix), error);
        if (!error) bytes += status.size;
    }
    return static_cast<double>(bytes) / 1048576.0;
}

void remove_cache_files(const fs::path& cache_dir, const std::string& stem, const std::vector<std::string>& suffixes) {
    for (const std::string& suffix : suffixes) {
        std::error_code ignored;
        platform::remove_path(cache_file(cache_dir, stem + suffix), ignored);
    }
}

}  // namespace tarkeep::upscale
