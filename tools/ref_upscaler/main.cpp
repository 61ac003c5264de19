// tarkeep_ref_upscaler: a CPU stand-in for the outside NCNN upscaler. Same switches, same
// output contract (<name>.png in, <name>.png out, scale times larger), classical kernels.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "image/png.h"
#include "image/png_files.h"
#include "platform/cmdline.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/worker_pool.h"
#include "tools/ref_upscaler/ref_model.h"
#include "tools/ref_upscaler/ref_options.h"
#include "tools/ref_upscaler/resample.h"

namespace {

namespace fs = std::filesystem;
using namespace tarkeep;
using namespace tarkeep::ref_upscaler;

struct Job {
    fs::path in, out;
};

std::vector<Job> list_jobs(const RefOptions& o) {
    if (!platform::is_folder(o.input)) return {{o.input, o.output}};
    std::vector<fs::path> inputs;
    for (const platform::FolderEntry& entry : platform::list_folder(o.input)) {
        if (entry.kind == platform::PathKind::file && entry.path.extension() == ".png") inputs.push_back(entry.path);
    }
    std::sort(inputs.begin(), inputs.end());
    std::vector<Job> jobs;
    for (const auto& in : inputs) jobs.push_back({in, o.output / in.filename()});
    return jobs;
}

void pause(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

// Error text of one file, empty on success.
std::string upscale_file(const Job& job, const RefModel& model, int scale, bool parallel_rows, double slow_seconds) {
    try {
        const data::RgbaImage source = image::read_png_file(job.in);
        // Stored (uncompressed) PNG, no sync: the outputs are read back once, at once.
        const auto png = image::encode_png(upscale_image(source, model, scale, parallel_rows), false);
        std::ofstream out(platform::stream_path(job.out), std::ios::binary | std::ios::trunc);
        const auto half = static_cast<std::streamsize>(slow_seconds > 0 ? png.size() / 2 : 0);
        if (half > 0) {
            pause(slow_seconds / 2);
            out.write(reinterpret_cast<const char*>(png.data()), half);
            out.flush();
            pause(slow_seconds / 2);
        }
        out.write(reinterpret_cast<const char*>(png.data()) + half, static_cast<std::streamsize>(png.size()) - half);
        out.close();
        if (!out) throw std::runtime_error("cannot write " + platform::path_to_utf8(job.out));
        return {};
    } catch (const std::exception& e) {
        return platform::path_to_utf8(job.in) + " failed: " + e.what();
    }
}

int run(const RefOptions& o) {
    const fs::path model_dir = o.model_dir.empty() ? platform::executable_path().parent_path() / "models" : o.model_dir;
    const RefModel model = load_ref_model(model_dir, o.model);
    const std::vector<Job> jobs = list_jobs(o);
    if (platform::is_folder(o.input)) platform::create_folders(o.output);

    // Many files: one per thread. Few files: one at a time, rows spread over the threads.
    std::vector<std::string> errors(jobs.size());
    const double slow_seconds = model.seconds_per_file;
    if (jobs.size() >= platform::worker_count() && slow_seconds == 0) {
        platform::run_jobs(jobs.size(),
                           [&](std::size_t i) { errors[i] = upscale_file(jobs[i], model, o.scale, false, 0); });
    } else {
        for (std::size_t i = 0; i < jobs.size(); ++i)
            errors[i] = upscale_file(jobs[i], model, o.scale, true, slow_seconds);
    }
    int status = 0;
    for (const auto& error : errors) {
        if (error.empty()) continue;
        std::fprintf(stderr, "%s\n", error.c_str());
        status = 1;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    RefOptions options;
    try {
        options = parse_ref_options(platform::utf8_arguments(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "failed: %s\n%s", e.what(), ref_usage());
        return 2;
    }
    if (options.help) {
        std::fputs(ref_usage(), stdout);
        return 0;
    }
    try {
        return run(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        return 1;
    }
}
