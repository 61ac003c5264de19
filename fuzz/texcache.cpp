// Texture file reader and mip 0 decoding on hostile input. The first byte picks whether
// the input is the whole file or follows a correct fixed prefix (so that the format,
// masks, mipmap table, offsets and pixel data are what gets explored).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "data/texture/tex_error.h"
#include "data/texture/texcache.h"
#include "data/texture/texture_image.h"

namespace {

std::vector<std::uint8_t> prefix() {
    std::vector<std::uint8_t> p(78, 0);
    std::memcpy(p.data(), "Gamebryo File Format, Version 10.1.0.0\n", 39);
    std::memcpy(p.data() + 57, "NiPixelData", 11);
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::vector<std::uint8_t> file;
    if (data[0] & 1) file = prefix();
    file.insert(file.end(), data + 1, data + size);
    using namespace tarkeep::data;
    try {
        const TexcacheFile tex = read_texcache(file);
        if (tex.pixels_offset + tex.num_pixels + tex.trailing != file.size()) std::abort();
    } catch (const TexError&) {
        return 0;
    }
    for (auto decode : {texture_to_rgba, texture_to_rgb_opaque}) {
        try {
            const RgbaImage image = decode(file);
            if (image.pixels.size() != std::size_t(image.width) * image.height * 4) std::abort();
        } catch (const TexError&) {}
    }
    try {
        texture_mip0(file);
    } catch (const TexError&) {}
    return 0;
}
