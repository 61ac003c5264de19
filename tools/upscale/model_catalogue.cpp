// The catalogue of model textures: which textures the game's models use, and
// what they are.
#include "tools/upscale/model_catalogue.h"

#include <algorithm>
#include <cstdio>

#include "data/game_file_names.h"
#include "data/nif/nif_textures.h"
#include "data/text_lines.h"
#include "data/texture/dxt.h"
#include "data/texture/texcache.h"
#include "data/texture/texture_image.h"
#include "data/texture_colour_info.h"
#include "image/pixel_channels.h"
#include "platform/worker_pool.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/progress.h"

namespace tarkeep::upscale {
namespace {

void add_source(const data::NifFile& model, data::NifRef ref, std::set<std::string>& names) {
    if (ref < 0 || static_cast<std::size_t>(ref) >= model.blocks.size()) return;
    const auto* source = dynamic_cast<const data::NiSourceTexture*>(model.blocks[static_cast<std::size_t>(ref)].get());
    if (source && !source->file_name.empty()) names.insert(data::ascii_lower(source->file_name));
}

void describe_texture(const data::GameArchives& archives, bool masks, ModelTexture& t) {
    const std::vector<std::uint8_t> bytes = archives.read(data::texture_file(t.stem));
    const data::TexcacheFile tex = data::read_texcache(bytes);
    if (!tex.mipmaps.empty()) {
        t.width = tex.mipmaps[0].width;
        t.height = tex.mipmaps[0].height;
    }
    t.format = tex.format;
    if (data::is_dxt_format(tex.format)) {
        t.alpha = image::has_transparency(data::texture_to_rgba(bytes));
    }
    const data::TextureColourInfo info = data::texture_colour_info(archives, t.stem);
    if (masks && info.has_mask) {
        const data::TexcacheFile mask = data::read_texcache(archives.read(data::mask_file(t.stem)));
        if (!mask.mipmaps.empty()) {
            t.mask_width = mask.mipmaps[0].width;
            t.mask_height = mask.mipmaps[0].height;
        }
    }
    t.patches = info.patch_letters;
}

}  // namespace

std::vector<std::string> only_stems(const std::vector<std::string>& names) {
    std::vector<std::string> stems;
    for (const std::string& name : names) {
        if (usable_file_name(name)) stems.push_back(data::ascii_lower(name));
    }
    return stems;
}

std::set<std::string> texturing_property_textures(const data::NifFile& model) {
    std::set<std::string> names;
    for (const auto& block : model.blocks) {
        const auto* texturing = dynamic_cast<const data::NiTexturingProperty*>(block.get());
        if (!texturing) continue;
        for (const data::NifTextureSlot& slot : texturing->slots) {
            if (slot.present) add_source(model, slot.desc.source, names);
        }
        for (const data::NifShaderTexture& shader : texturing->shader_textures) {
            if (shader.present) add_source(model, shader.desc.source, names);
        }
    }
    return names;
}

ModelCatalogue scan_model_textures(const data::GameArchives& archives, bool masks, std::set<std::string>* missing) {
    std::vector<std::string> models;
    for (const std::string& key : archives.keys()) {
        if (data::has_suffix(key, data::kModelSuffix)) models.push_back(key);
    }
    Progress progress("scan", models.size());
    // A damaged model only loses its own textures' users: it is skipped after a warning.
    std::vector<std::string> model_errors(models.size());
    const auto names = platform::map_jobs<std::set<std::string>>(models.size(), [&](std::size_t i) {
        std::set<std::string> textures;
        try {
            textures = texturing_property_textures(data::read_nif(archives.read(models[i])));
        } catch (const std::exception& error) {
            model_errors[i] = error.what();
        }
        progress.tick();
        return textures;
    });
    progress.finish();
    for (std::size_t i = 0; i < models.size(); ++i) {
        if (!model_errors[i].empty())
            std::fprintf(stderr, "warning: %s: %s: skipped\n", models[i].c_str(), model_errors[i].c_str());
    }
    ModelCatalogue catalogue;
    std::set<std::string> refused;
    for (const std::set<std::string>& model_names : names) {
        for (const std::string& name : model_names) {
            if (!archives.contains(data::texture_file(name))) {
                if (missing) missing->insert(name);
                continue;
            }
            if (!stem_problem(name).empty()) {
                if (refused.insert(name).second) usable_file_name(name);  // warns once per name
                continue;
            }
            ModelTexture& t = catalogue[name];
            t.stem = name;
            ++t.users;
        }
    }
    std::vector<ModelTexture*> textures;
    for (auto& [stem, t] : catalogue) textures.push_back(&t);
    platform::run_jobs(textures.size(), [&](std::size_t i) {
        try {
            describe_texture(archives, masks, *textures[i]);
        } catch (const std::exception& error) {
            textures[i]->problem = error.what();
        }
    });
    return catalogue;
}

bool report_unreadable(const ModelTexture& texture) {
    if (texture.problem.empty()) return false;
    std::fprintf(stderr, "%s: %s\n", texture.stem.c_str(), texture.problem.c_str());
    return true;
}

std::uint32_t choose_scale(std::uint32_t w, std::uint32_t h, std::uint32_t min_size, std::uint32_t max_size,
                           std::uint32_t max_factor) {
    if (w == 0 || h == 0 || std::min(w, h) < min_size) return 0;
    const std::uint64_t m = std::max(w, h);
    if (max_factor < 4) return 2 * m <= max_size ? 2 : 0;
    std::uint32_t factor = 4;
    while (factor <= max_factor / 2) factor *= 2;
    for (; factor >= 2; factor /= 2) {
        if (factor * m <= max_size) return factor;
    }
    return 0;
}

std::string unscaled_reason(std::uint32_t w, std::uint32_t h, std::uint32_t min_size, std::uint32_t max_size) {
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    if (w == 0 || h == 0 || std::min(w, h) < min_size) return size + " below --min-size " + std::to_string(min_size);
    return size + " above --max-size " + std::to_string(max_size);
}

}  // namespace tarkeep::upscale
