// --seam: how well PNG textures tile, per file and in summary.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "image/metrics.h"
#include "image/png_files.h"
#include "platform/cmdline.h"
#include "platform/files.h"
#include "tools/upscale/commands.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

// Each positional is a PNG file, or a folder whose ".png" files are taken in path order.
std::vector<fs::path> collect_png_files(const std::vector<std::string>& positional) {
    std::vector<fs::path> files;
    for (const std::string& argument : positional) {
        const fs::path path = platform::path_from_utf8(argument);
        if (!platform::is_folder(path)) {
            files.push_back(path);
            continue;
        }
        std::vector<fs::path> found;
        for (const platform::FolderEntry& entry : platform::list_folder(path))
            if (entry.path.extension() == ".png") found.push_back(entry.path);
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

}  // namespace

int cmd_seam(const Args& args, bool quiet) {
    const std::vector<fs::path> files = collect_png_files(args.positional);
    double ratio_sum = 0;
    double ratio_max = 0;
    double excess_sum = 0;
    for (const fs::path& file : files) {
        const image::RgbaImage image = image::read_png_file(file);
        const image::SeamStats s = seam_stats(image);
        const double rx = ratio_x(s);
        const double ry = ratio_y(s);
        if (!quiet)
            std::printf(
                "%s %ux%u inner_x %.2f seam_x %.2f ratio_x %.2f | inner_y %.2f seam_y %.2f ratio_y %.2f | "
                "mean %.1f %.1f %.1f\n",
                platform::path_to_utf8(file.filename()).c_str(), image.width, image.height, s.inner_x, s.seam_x, rx,
                s.inner_y, s.seam_y, ry, s.mean_r, s.mean_g, s.mean_b);
        ratio_sum += rx + ry;
        ratio_max = std::max({ratio_max, rx, ry});
        excess_sum += (s.seam_x - s.inner_x) + (s.seam_y - s.inner_y);
    }
    const double d = 2.0 * static_cast<double>(std::max<std::size_t>(files.size(), 1));
    std::printf("summary %zu images: seam/inner ratio mean %.3f max %.2f, mean excess %.2f levels\n", files.size(),
                ratio_sum / d, ratio_max, excess_sum / d);
    return 0;
}

}  // namespace tarkeep::upscale
