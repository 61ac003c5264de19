// --models-fit: how well the player-colour fit reproduces the game's own
// patches.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "data/game_file_names.h"
#include "data/texture/pcpatch.h"
#include "data/texture/texture_image.h"
#include "image/kernels.h"
#include "platform/worker_pool.h"
#include "tools/upscale/open_game.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/model_catalogue.h"
#include "tools/upscale/player_colour.h"
#include "tools/upscale/progress.h"

namespace tarkeep::upscale {
namespace {

struct LetterFit {
    char letter;
    bool valid;  // false: the patch changes nothing under the mask, so there is no error to report
    float error;
};

// printf into a string of whatever length the text needs.
std::string printed(const char* format, ...) {
    std::va_list arguments, again;
    va_start(arguments, format);
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    text.pop_back();
    return text;
}

std::string fit_line(const std::string& stem, char letter, const PcFit& fit) {
    if (!fit.valid) return printed("%s %c invalid samples %u\n", stem.c_str(), letter, fit.samples);
    std::string line = printed("%s %c error %.2f samples %u strength", stem.c_str(), letter,
                               static_cast<double>(fit.error), fit.samples);
    for (std::size_t k = 0; k < static_cast<std::size_t>(std::clamp(fit.knot_count, 0, 16)); ++k)
        line += printed(" %.2f:%.2f", static_cast<double>(fit.knot_x[k]), static_cast<double>(fit.knot_value[k]));
    return line + "\n";
}

}  // namespace

int cmd_models_fit(const Args& args) {
    const data::GameArchives archives = open_game_archives(args.path(0));
    const ModelCatalogue catalogue = scan_model_textures(archives, true);
    const std::vector<std::string> only = only_stems(args.list("--only"));
    std::vector<const ModelTexture*> textures;
    int unreadable = 0;
    for (const auto& [stem, t] : catalogue) {
        if (args.has_value("--only") && std::find(only.begin(), only.end(), stem) == only.end()) continue;
        if (report_unreadable(t)) {
            ++unreadable;
        } else if (t.has_mask()) {
            textures.push_back(&t);
        }
    }
    const bool verbose = args.flag("--verbose");
    std::mutex print_mutex;
    Progress progress("fit", textures.size());
    const auto fits = platform::map_jobs<std::vector<LetterFit>>(textures.size(), [&](std::size_t i) {
        const ModelTexture& t = *textures[i];
        const std::vector<std::uint8_t> bytes = archives.read(data::texture_file(t.stem));
        const image::RgbaImage neutral = data::texture_to_rgba(bytes);
        image::RgbaImage mask = data::texture_to_rgba(archives.read(data::mask_file(t.stem)));
        // A mask of another size than its texture weighs the texture's pixels
        // once scaled.
        if (mask.width != neutral.width || mask.height != neutral.height)
            mask = resize_bilinear(mask, neutral.width, neutral.height);
        const WeightMap weights = luminance_map(mask);
        std::vector<LetterFit> result;
        for (char letter : t.patches) {
            const std::vector<std::uint8_t> patch = archives.read(data::pcpatch_name(t.stem, letter));
            const image::RgbaImage patched = data::texture_mip0(bytes, std::span<const std::uint8_t>(patch));
            const PcFit fit = fit_player_colour(neutral, patched, weights);
            result.push_back({letter, fit.valid, fit.error});
            if (!verbose) continue;
            const std::string line = fit_line(t.stem, letter, fit);
            std::lock_guard lock(print_mutex);
            std::fputs(line.c_str(), stdout);
        }
        progress.tick();
        return result;
    });
    progress.finish();

    std::vector<std::pair<std::string, float>> all;
    for (char letter : std::string_view("ABCDEFGHIJK")) {
        std::size_t count = 0, invalid = 0;
        double sum = 0;
        float largest = 0;
        for (std::size_t i = 0; i < textures.size(); ++i) {
            for (const LetterFit& f : fits[i]) {
                if (f.letter != letter) continue;
                if (!f.valid) {
                    ++invalid;
                    continue;
                }
                ++count;
                sum += f.error;
                largest = std::max(largest, f.error);
                all.emplace_back(textures[i]->stem + letter, f.error);
            }
        }
        std::printf("colour %c: %zu textures, fit error mean %.2f max %.2f levels", letter, count,
                    sum / static_cast<double>(std::max<std::size_t>(count, 1)), static_cast<double>(largest));
        std::fputs(invalid == 0 ? "\n" : printed(", %zu invalid (patch changes nothing)\n", invalid).c_str(), stdout);
    }
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    for (std::size_t i = 0; i < all.size() && i < 12; ++i)
        std::printf("  worst %s %.2f\n", all[i].first.c_str(), static_cast<double>(all[i].second));
    return unreadable > 0 ? 1 : 0;
}

}  // namespace tarkeep::upscale
