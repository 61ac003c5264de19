// Reading the header and mip table of a texture file, every field bounds-checked.
#include "data/texture/texcache.h"

#include <cstring>

#include "data/texture/tex_error.h"
#include "io/byte_order.h"

namespace tarkeep::data {
namespace {

constexpr char kHeaderLine[] = "Gamebryo File Format, Version 10.1.0.0\n";
constexpr std::size_t kHeaderLength = 39;
constexpr std::size_t kTypeNameOffset = 57;
constexpr char kTypeName[] = "NiPixelData";
constexpr std::size_t kTypeNameLength = 11;
constexpr std::size_t kMinimumSize = 99;  // everything up to bits_per_pixel

// Reads little-endian words at fixed offsets; every read checks the file holds it.
class FixedReader {
public:
    explicit FixedReader(std::span<const std::uint8_t> file) : file_(file) {}

    std::uint32_t u32(std::uint64_t offset) const {
        require(offset + 4);
        return io::load_le32(file_.data() + offset);
    }

    void require(std::uint64_t end) const {
        if (end > file_.size()) throw TexError("texcache: read past end");
    }

private:
    std::span<const std::uint8_t> file_;
};

}  // namespace

TexcacheFile read_texcache(std::span<const std::uint8_t> file) {
    if (file.size() < kMinimumSize || std::memcmp(file.data(), kHeaderLine, kHeaderLength) != 0 ||
        std::memcmp(file.data() + kTypeNameOffset, kTypeName, kTypeNameLength) != 0) {
        throw TexError("not a single-NiPixelData NIF 10.1.0.0");
    }
    const FixedReader in(file);
    TexcacheFile tex;
    tex.format = in.u32(78);
    for (int channel = 0; channel < 4; ++channel) tex.masks[channel] = in.u32(82 + 4 * channel);
    tex.bits_per_pixel = file[98];
    tex.palette = static_cast<std::int32_t>(in.u32(114));
    const std::uint64_t mip_count = in.u32(118);
    tex.bytes_per_pixel = in.u32(122);

    const std::uint64_t table_end = 126 + 12 * mip_count;
    in.require(table_end);
    tex.mipmaps.resize(mip_count);
    for (std::uint64_t level = 0; level < mip_count; ++level) {
        const std::uint64_t entry = 126 + 12 * level;
        tex.mipmaps[level] = {in.u32(entry), in.u32(entry + 4), in.u32(entry + 8)};
    }
    tex.num_pixels = in.u32(table_end);
    tex.pixels_offset = table_end + 4;
    if (tex.pixels_offset + std::uint64_t(tex.num_pixels) > file.size()) {
        throw TexError("size mismatch");
    }
    tex.trailing = file.size() - tex.pixels_offset - tex.num_pixels;
    tex.faces = 1;
    return tex;
}

}  // namespace tarkeep::data
