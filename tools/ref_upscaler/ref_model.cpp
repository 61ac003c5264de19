// Reading the reference upscaler's model description files.
#include "tools/ref_upscaler/ref_model.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/cmdline.h"
#include "platform/files.h"

namespace tarkeep::ref_upscaler {
namespace fs = std::filesystem;

RefModel load_ref_model(const fs::path& folder, const std::string& name) {
    const fs::path param = folder / platform::path_from_utf8(name + ".param");
    const fs::path bin = folder / platform::path_from_utf8(name + ".bin");
    if (!platform::path_exists(param) || !platform::path_exists(bin))
        throw std::runtime_error("model " + name + " not found: need " + platform::path_to_utf8(param) + " and " +
                                 platform::path_to_utf8(bin));
    std::ifstream in(platform::stream_path(param), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + platform::path_to_utf8(param));

    RefModel model;
    bool has_header = false, has_kernel = false;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key, value;
        if (!(words >> key) || key[0] == '#') continue;
        words >> value;
        if (key == "tarkeep-ref-model") {
            has_header = value == "1";
        } else if (key == "kernel" && value == "nearest") {
            model.kernel = RefModel::Kernel::nearest;
            has_kernel = true;
        } else if (key == "kernel" && value == "lanczos") {
            model.kernel = RefModel::Kernel::lanczos;
            has_kernel = true;
        } else if (key == "seconds_per_file") {
            model.seconds_per_file = std::max(0.0, std::atof(value.c_str()));
        } else if (key == "radius") {
            model.radius = std::atoi(value.c_str());
        } else {
            throw std::runtime_error("model " + name + ": unknown line \"" + line + "\"");
        }
    }
    if (!has_header || !has_kernel) throw std::runtime_error("model " + name + ": not a reference model description");
    if (model.kernel == RefModel::Kernel::lanczos && (model.radius < 1 || model.radius > 8))
        throw std::runtime_error("model " + name + ": lanczos radius must be 1 to 8");
    return model;
}

}  // namespace tarkeep::ref_upscaler
