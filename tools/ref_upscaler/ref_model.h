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
};

// Reads <folder>/<name>.param; <name>.bin must exist beside it, as the outside
// upscaler's model pairs do. Throws std::runtime_error saying what is wrong.
RefModel load_ref_model(const std::filesystem::path& folder, const std::string& name);

}  // namespace tarkeep::ref_upscaler
