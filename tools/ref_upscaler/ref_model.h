// The reference upscaler's models: a .param file naming a resampling kernel, with a .bin beside it.
#pragma once
#include <filesystem>
#include <string>

namespace tarkeep::ref_upscaler {

// What a model description file (<model>.param, text) asks for.
struct RefModel {
    enum class Kernel { nearest, lanczos };
    Kernel kernel = Kernel::nearest;
    int radius = 0;  // lobes of the Lanczos kernel
    // "seconds_per_file S": a stand-in for a slow network, for tests and timings. Files are
    // then done one at a time, each taking S seconds, half of them with its output half written.
    double seconds_per_file = 0;
};

// Reads <folder>/<name>.param; <name>.bin must exist beside it, as the outside
// upscaler's model pairs do. Throws std::runtime_error saying what is wrong.
RefModel load_ref_model(const std::filesystem::path& folder, const std::string& name);

}  // namespace tarkeep::ref_upscaler
