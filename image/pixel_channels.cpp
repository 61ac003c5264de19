// Alpha channel helpers around the network, which sees colour and alpha as separate opaque images.
#include "image/pixel_channels.h"

#include <stdexcept>
#include <string>

namespace tarkeep::image {
namespace {

// Copies channel `from_channel` of every pixel of `from` into the alpha byte of `image`.
void set_alpha(RgbaImage& image, const RgbaImage& from, std::size_t from_channel, const char* operation) {
    if (from.width != image.width || from.height != image.height || from.pixels.size() != image.pixels.size())
        throw std::runtime_error(std::string(operation) + ": the images differ in size");
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) image.pixels[i + 3] = from.pixels[i + from_channel];
}

}  // namespace

void make_opaque(RgbaImage& image) {
    for (std::size_t i = 3; i < image.pixels.size(); i += 4) image.pixels[i] = 255;
}

bool has_transparency(std::span<const std::uint8_t> rgba) {
    for (std::size_t i = 3; i < rgba.size(); i += 4)
        if (rgba[i] != 255) return true;
    return false;
}

bool has_transparency(const RgbaImage& image) { return has_transparency(image.pixels); }

void alpha_from_grey(RgbaImage& image, const RgbaImage& grey) { set_alpha(image, grey, 0, "alpha_from_grey"); }

void copy_alpha(RgbaImage& image, const RgbaImage& from) { set_alpha(image, from, 3, "copy_alpha"); }

}  // namespace tarkeep::image
