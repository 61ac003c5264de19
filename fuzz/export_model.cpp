// Fuzzes export_model over NIF bytes: a model and a keyframe file, either whole inputs or a
// built-in skinned, animated model with bytes overwritten at chosen offsets (so that the
// fuzzer spends its time past the NIF reader). Every export either fails with one of the
// system's own errors or yields a .glb whose header and JSON are sound.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/gltf/model_export.h"
#include "data/gltf_error.h"
#include "data/nif/nif_error.h"
#include "data/texture/dxt.h"
#include "data/texture/tex_error.h"
#include "data/texture/texcache_writer.h"
#include "fuzz/support/sample_model.h"
#include "io/zip_error.h"

namespace {

using namespace tarkeep;
using namespace tarkeep::data;

// Overwrites bytes of `base`: each triple of input bytes is (offset low, offset high, value).
std::vector<std::uint8_t> patched(std::vector<std::uint8_t> base, const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i + 2 < size; i += 3) {
        const std::size_t at = (std::size_t(data[i]) | std::size_t(data[i + 1]) << 8) % base.size();
        base[at] = data[i + 2];
    }
    return base;
}

void check(const std::vector<std::uint8_t>& glb) {
    const auto u32 = [&](std::size_t at) {
        return std::uint32_t(glb[at]) | std::uint32_t(glb[at + 1]) << 8 | std::uint32_t(glb[at + 2]) << 16 |
               std::uint32_t(glb[at + 3]) << 24;
    };
    if (glb.size() < 28 || u32(8) != glb.size() || u32(12) % 4 != 0) __builtin_trap();
    const std::string json(glb.begin() + 20, glb.begin() + 20 + u32(12));
    if (json.find("NaN") != std::string::npos || json.find("Infinity") != std::string::npos) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> model = fuzz::built_model();
    static const std::vector<std::uint8_t> kf = fuzz::built_kf();
    static const std::vector<std::uint8_t> texture = data::write_texcache(data::texcache_fields(
        format_dxt1, data::dxt_levels(std::vector<std::uint8_t>(64, 200), 4, 4, format_dxt1, false)));
    if (size < 2) return 0;
    std::vector<std::uint8_t> model_bytes, kf_bytes;
    const std::size_t split = 2 + (size - 2) * data[1] / 256;
    if (data[0] & 1) {
        model_bytes = patched(model, data + 2, split - 2);
        kf_bytes = patched(kf, data + split, size - split);
    } else {
        model_bytes.assign(data + 2, data + split);
        kf_bytes.assign(data + split, data + size);
    }
    GameFiles files;
    files.contains = [](std::string_view) { return true; };
    files.read = [&](std::string_view name) { return name.ends_with(".texcache") ? texture : kf_bytes; };
    ModelExportOptions options;
    options.colour = (data[0] & 2) ? 'B' : 0;
    options.scale_channels = data[0] & 4;
    options.keyframe_pass = !(data[0] & 8);
    std::vector<std::string> kfs;
    if (data[0] & 16) kfs.push_back("walk.kf");
    GltfTextureCache cache;
    try {
        check(export_model_bytes(files, model_bytes, kfs, options, cache).glb);
    } catch (const GltfError&) {
    } catch (const NifError&) {
    } catch (const TexError&) {
    } catch (const io::ZipError&) {}
    return 0;
}
