// Texture file seeds (every decodable pixel format, with and without mip chains) and
// player-colour patch seeds (patches made from a recoloured texture and from hand-made runs).
#include <cctype>

#include "data/texture/dxt.h"
#include "fuzz/seeds/seed_corpus.h"
#include "data/texture/pcpatch_writer.h"
#include "data/texture/texcache_writer.h"

namespace tarkeep::fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace tarkeep::data;

// Both targets put a fixed 78-byte prefix (header line, type table) before chosen input.
constexpr std::size_t kPrefix = 78;

Bytes body(const Bytes& file) { return Bytes(file.begin() + kPrefix, file.end()); }

// "dxt1", "dxt3", "dxt5".
std::string lower_name(std::uint32_t format) {
    std::string name = format_name(format);
    for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

Bytes image(std::uint32_t side, std::uint8_t tint) {
    Bytes rgba;
    for (std::uint32_t i = 0; i < side * side; ++i) {
        const bool marked = (i % side) < side / 2 && (i / side) < side / 2;
        rgba.insert(rgba.end(), {std::uint8_t(marked ? tint : i * 5), 120, std::uint8_t(i), std::uint8_t(255 - i)});
    }
    return rgba;
}

// Uncompressed pixels (formats RGB and RGBA) with their channel masks.
Bytes uncompressed(std::uint32_t format, std::uint32_t bytes_per_pixel, std::array<std::uint32_t, 4> masks) {
    const std::uint32_t width = 5, height = 3;
    Bytes pixels;
    for (std::uint32_t i = 0; i < width * height * bytes_per_pixel; ++i) pixels.push_back(std::uint8_t(i * 29));
    data::TexcacheFields fields = data::texcache_fields(format, {{width, height, pixels}});
    std::copy(masks.begin(), masks.end(), fields.masks);
    fields.bytes_per_pixel = bytes_per_pixel;
    fields.bits_per_pixel = bytes_per_pixel * 8;
    return data::write_texcache(fields);
}

data::TexcacheFields dxt_fields(std::uint32_t format, std::uint8_t tint) {
    return data::texcache_fields(format, data::dxt_levels(image(8, tint), 8, 8, format, true));
}

Seed pcpatch_seed(std::string name, const Bytes& texture, const Bytes& patch) {
    const Bytes first = body(texture), second = body(patch);
    Seed seed{std::move(name), {std::uint8_t(first.size()), std::uint8_t(first.size() >> 8)}};
    seed.bytes.insert(seed.bytes.end(), first.begin(), first.end());
    seed.bytes.insert(seed.bytes.end(), second.begin(), second.end());
    return seed;
}

}  // namespace

std::vector<Seed> texcache_seeds() {
    constexpr std::uint8_t kWholeFile = 0, kAfterPrefix = 1;
    std::vector<Seed> seeds;
    for (std::uint32_t format : {format_dxt1, format_dxt3, format_dxt5}) {
        seeds.push_back(
            mode_seed(lower_name(format) + "_mips", kWholeFile, data::write_texcache(dxt_fields(format, 200))));
    }
    seeds.push_back(mode_seed("dxt1_odd_size", kWholeFile, data::dxt_texcache(image(6, 9), 6, 6, format_dxt1, false)));
    seeds.push_back(mode_seed("rgb24", kWholeFile, uncompressed(0, 3, {0xFF, 0xFF00, 0xFF0000, 0})));
    seeds.push_back(mode_seed("rgba32", kWholeFile, uncompressed(1, 4, {0xFF0000, 0xFF00, 0xFF, 0xFF000000})));
    seeds.push_back(mode_seed("rgba4444", kWholeFile, uncompressed(1, 2, {0xF00, 0xF0, 0xF, 0xF000})));
    seeds.push_back(mode_seed("dxt5_body", kAfterPrefix, body(data::write_texcache(dxt_fields(format_dxt5, 7)))));
    return seeds;
}

std::vector<Seed> pcpatch_seeds() {
    std::vector<Seed> seeds;
    for (std::uint32_t format : {format_dxt1, format_dxt5}) {
        const data::TexcacheFields base = dxt_fields(format, 200), coloured = dxt_fields(format, 30);
        seeds.push_back(
            pcpatch_seed("diff_" + lower_name(format), data::write_texcache(base), data::diff_pcpatch(base, coloured)));
    }
    const Bytes dxt3 = data::write_texcache(dxt_fields(format_dxt3, 1));
    const Bytes blocks(3 * 16, 0x5A);
    const auto separator = data::pcpatch_separator;
    seeds.push_back(
        pcpatch_seed("runs_on_two_levels", dxt3, data::write_pcpatch({{1, 2}, {separator, 0}, {0, 1}}, blocks)));
    seeds.push_back(pcpatch_seed("no_runs", dxt3, data::write_pcpatch({}, {})));
    return seeds;
}

}  // namespace tarkeep::fuzz
