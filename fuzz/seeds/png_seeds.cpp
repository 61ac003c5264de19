// PNG seeds for the three input modes of the decode_png target: whole files (our writer's
// and hand-made ones with every row filter, split image data, extra chunks, interlace), bare
// chunk streams, and width, height and filtered rows.
#include <iterator>

#include "fuzz/seeds/seed_corpus.h"
#include "image/png.h"
#include "io/byte_order.h"
#include "io/zlib_stream.h"

namespace tarkeep::fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kModeFile = 0, kModeChunks = 1, kModeRows = 2;
const Bytes kSignature(std::begin(image::kPngSignature), std::end(image::kPngSignature));
using image::append_png_chunk;
using io::append_be32;

// Rows of a width x height RGBA image, row y using filter type y % 5 over varied bytes.
Bytes filtered_rows(std::uint32_t width, std::uint32_t height) {
    Bytes rows;
    for (std::uint32_t y = 0; y < height; ++y) {
        rows.push_back(std::uint8_t(y % 5));
        for (std::uint32_t i = 0; i < width * 4; ++i) rows.push_back(std::uint8_t(y * 37 + i * 11));
    }
    return rows;
}

struct PngPlan {
    std::uint32_t width = 6;
    std::uint32_t height = 10;
    std::uint8_t interlace = 0;
    bool compress = true;
    std::size_t idat_parts = 1;
    bool text_chunk = false;
};

Bytes png_file(const PngPlan& plan) {
    Bytes header;
    append_be32(header, plan.width);
    append_be32(header, plan.height);
    header.insert(header.end(), {8, 6, 0, 0, plan.interlace});
    Bytes file = kSignature;
    append_png_chunk(file, "IHDR", header);
    if (plan.text_chunk) append_png_chunk(file, "tEXt", text_bytes(std::string("Comment\0seed", 12)));
    const Bytes zlib = io::zlib_wrap(filtered_rows(plan.width, plan.height), plan.compress);
    const std::size_t part = (zlib.size() + plan.idat_parts - 1) / plan.idat_parts;
    for (std::size_t at = 0; at < zlib.size(); at += part) {
        append_png_chunk(
            file, "IDAT",
            Bytes(zlib.begin() + std::ptrdiff_t(at), zlib.begin() + std::ptrdiff_t(std::min(zlib.size(), at + part))));
    }
    append_png_chunk(file, "IEND", {});
    return file;
}

Bytes gradient(std::uint32_t width, std::uint32_t height) {
    Bytes pixels;
    for (std::uint32_t i = 0; i < width * height; ++i) pixels.insert(pixels.end(), {std::uint8_t(i * 9), 128, 40, 255});
    return pixels;
}

}  // namespace

std::vector<Seed> png_seeds() {
    std::vector<Seed> seeds;
    for (bool compress : {true, false}) {
        seeds.push_back(mode_seed(compress ? "writer_deflated.png" : "writer_stored.png", kModeFile,
                                  image::encode_png(7, 5, gradient(7, 5).data(), compress)));
    }
    seeds.push_back(mode_seed("filters.png", kModeFile, png_file({})));
    seeds.push_back(mode_seed("filters_stored_split.png", kModeFile, png_file({9, 5, 0, false, 3, true})));
    seeds.push_back(mode_seed("interlaced.png", kModeFile, png_file({6, 10, 1, true, 1, false})));
    const Bytes file = png_file({5, 5, 0, true, 2, true});
    seeds.push_back(mode_seed("chunks", kModeChunks, Bytes(file.begin() + 8, file.end())));
    for (std::uint8_t side : {5, 13}) {
        Bytes rows = {side, std::uint8_t(side - 2)};
        const Bytes filtered = filtered_rows(side, side - 2);
        rows.insert(rows.end(), filtered.begin(), filtered.end());
        seeds.push_back(mode_seed("rows_" + std::to_string(side), kModeRows, rows));
    }
    return seeds;
}

}  // namespace tarkeep::fuzz
