// --models-estimate: what the HD textures would add to the exported models.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <set>

#include "data/game_db.h"
#include "data/game_file_names.h"
#include "data/nif/nif_file.h"
#include "data/nif/nif_textures.h"
#include "data/texture/pcpatch.h"
#include "data/texture/texture_image.h"
#include "data/unit_models.h"
#include "image/png.h"
#include "platform/worker_pool.h"
#include "tools/upscale/open_game.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/model_hd.h"
#include "tools/upscale/model_manifest.h"
#include "tools/upscale/numbers.h"
#include "tools/upscale/progress.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }
double megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / 1048576.0; }

struct TextureCost {
    std::uint64_t original = 0;
    std::uint64_t hd = 0;
    std::uint32_t scale = 0;
    double lookup_seconds = 0;
    double encode_seconds = 0;
    std::string error;  // the texture could not be read: it fails alone
};

std::set<std::string> source_texture_names(const data::NifFile& model) {
    std::set<std::string> names;
    for (const auto& block : model.blocks) {
        if (const auto* source = dynamic_cast<const data::NiSourceTexture*>(block.get()))
            names.insert(source->file_name);
    }
    return names;
}

}  // namespace

int cmd_models_estimate(const Args& args) {
    const fs::path morv_dir = args.path(0);
    const fs::path cache_dir = args.path(1);
    const std::string colour_text = opt(args, "--colour", "A");
    const char colour = colour_text.empty() ? '0' : colour_text[0];
    const std::uint32_t max_size = size_value(args, "--max-size", "0");
    if (!hd_cache_readable(cache_dir)) return 2;
    const data::GameArchives archives = open_game_archives(morv_dir);
    const ModelHdLookup hd_textures(archives, cache_dir);
    const data::GameDb db(morv_dir / "zips" / "db.zip");
    const std::vector<data::ModelJob> jobs = data::list_model_jobs(db, archives);

    // A model may name a texture that no archive holds (or an embedded one
    // without a file): such names are left out and counted instead of failing the
    // estimate.
    std::vector<std::set<std::string>> job_textures;
    std::set<std::string> unique, missing;
    for (const data::ModelJob& job : jobs) {
        std::set<std::string> names;
        std::set<std::string> sources;
        try {
            sources = source_texture_names(data::read_nif(archives.read(data::model_file(job.model))));
        } catch (const std::exception& error) {
            // A damaged model adds no textures; the others are still estimated.
            std::fprintf(stderr, "warning: %s: %s: skipped\n", data::model_file(job.model).c_str(), error.what());
        }
        for (const std::string& name : sources) {
            if (!name.empty() && archives.contains(data::texture_file(name))) {
                names.insert(name);
            } else {
                missing.insert(name);
            }
        }
        unique.insert(names.begin(), names.end());
        job_textures.push_back(std::move(names));
    }
    const std::vector<std::string> textures(unique.begin(), unique.end());

    const auto estimate_texture = [&](const std::string& texture, TextureCost& cost) {
        const std::vector<std::uint8_t> bytes = archives.read(data::texture_file(texture));
        const std::string patch_name = data::pcpatch_name(texture, colour);
        image::RgbaImage original;
        if (archives.contains(patch_name)) {
            const std::vector<std::uint8_t> patch = archives.read(patch_name);
            original = data::texture_mip0(bytes, std::span<const std::uint8_t>(patch));
        } else {
            original = data::texture_to_rgba(bytes);
        }
        cost.original = cost.hd = image::encode_png(original, true).size();
        const auto lookup_start = Clock::now();
        const std::optional<ModelHdImage> hd = hd_textures.get(texture, colour, max_size);
        cost.lookup_seconds = seconds_since(lookup_start);
        if (hd) {
            const auto encode_start = Clock::now();
            cost.hd = image::encode_png(hd->image, true).size();
            cost.encode_seconds = seconds_since(encode_start);
            cost.scale = original.width == 0 ? 0 : hd->image.width / original.width;
        }
    };
    const auto wall_start = Clock::now();
    std::vector<TextureCost> costs(textures.size());
    {
        Progress progress("estimate", textures.size());
        platform::run_jobs(textures.size(), [&](std::size_t i) {
            try {
                estimate_texture(textures[i], costs[i]);
            } catch (const std::exception& error) {
                costs[i] = TextureCost{};
                costs[i].error = error.what();
            }
            progress.tick();
        });
    }
    const double wall_seconds = seconds_since(wall_start);
    int unreadable = 0;
    for (std::size_t i = 0; i < textures.size(); ++i) {
        if (costs[i].error.empty()) continue;
        std::fprintf(stderr, "%s: %s\n", textures[i].c_str(), costs[i].error.c_str());
        ++unreadable;
    }

    std::map<std::string, const TextureCost*> by_name;
    std::uint64_t unique_original = 0, unique_hd = 0, embedded_original = 0, embedded_hd = 0;
    std::map<std::uint32_t, std::pair<int, std::uint64_t>> per_scale;
    double lookup_seconds = 0, encode_seconds = 0;
    for (std::size_t i = 0; i < textures.size(); ++i) {
        const TextureCost& c = costs[i];
        by_name[textures[i]] = &c;
        unique_original += c.original;
        unique_hd += c.hd;
        ++per_scale[c.scale].first;
        per_scale[c.scale].second += c.hd;
        lookup_seconds += c.lookup_seconds;
        encode_seconds += c.encode_seconds;
    }
    for (const std::set<std::string>& names : job_textures) {
        for (const std::string& name : names) {
            embedded_original += by_name.at(name)->original;
            embedded_hd += by_name.at(name)->hd;
        }
    }
    std::printf(
        "%zu jobs, %zu textures (colour %c): unique PNG %.1f MB -> %.1f MB "
        "(x%.2f); embedded over all jobs "
        "%.1f MB -> %.1f MB (x%.2f, +%.1f MB)\n",
        jobs.size(), textures.size(), colour, megabytes(unique_original), megabytes(unique_hd),
        static_cast<double>(unique_hd) / static_cast<double>(std::max<std::uint64_t>(unique_original, 1)),
        megabytes(embedded_original), megabytes(embedded_hd),
        static_cast<double>(embedded_hd) / static_cast<double>(std::max<std::uint64_t>(embedded_original, 1)),
        megabytes(embedded_hd) - megabytes(embedded_original));
    for (const auto& [scale, entry] : per_scale)
        std::printf("  scale %u (0 = original kept): %d textures, %.1f MB PNG\n", scale, entry.first,
                    megabytes(entry.second));
    std::printf(
        "converter cost: HD read + recolour %.1f s, HD PNG encode %.1f s "
        "(CPU total over %zu textures; wall "
        "%.1f s on %u threads)\n",
        lookup_seconds, encode_seconds, textures.size(), wall_seconds, static_cast<unsigned>(platform::worker_count()));
    if (!missing.empty()) std::printf("%zu textures missing from the archives (skipped)\n", missing.size());
    return unreadable > 0 ? 1 : 0;
}

}  // namespace tarkeep::upscale
