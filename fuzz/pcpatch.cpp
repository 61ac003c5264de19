// Player-colour patches on hostile input: a texture file and a patch file, both after a
// correct fixed prefix, split by the first two bytes. A patch that applies must leave the
// pixel data's size unchanged and decode through texture_mip0 like the applied data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "data/texture/pcpatch.h"
#include "data/texture/tex_error.h"
#include "data/texture/texcache.h"
#include "data/texture/texture_image.h"

namespace {

std::vector<std::uint8_t> texcache_file(const std::uint8_t* body, std::size_t size) {
    std::vector<std::uint8_t> p(78, 0);
    std::memcpy(p.data(), "Gamebryo File Format, Version 10.1.0.0\n", 39);
    std::memcpy(p.data() + 57, "NiPixelData", 11);
    p.insert(p.end(), body, body + size);
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t split = std::min<std::size_t>(size - 2, std::size_t(data[0]) | std::size_t(data[1]) << 8);
    const auto texture = texcache_file(data + 2, split);
    const auto patch = texcache_file(data + 2 + split, size - 2 - split);
    using namespace tarkeep::data;
    try {
        read_pcpatch(patch);
    } catch (const TexError&) {}
    try {
        const auto patched = apply_pcpatch(texture, patch);
        if (patched.size() != read_texcache(texture).num_pixels) std::abort();
        texture_mip0(texture, patch);
    } catch (const TexError&) {}
    return 0;
}
