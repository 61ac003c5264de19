// The PNG codec against libpng: every filter type on every path, the writer's layout, chunk walking,
// rejections.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdlib>
#include <random>
#include <string>
#include <tuple>

#include "image/png.h"
#include "image/png_error.h"
#include "image/png_unfilter.h"
#include "io/byte_order.h"
#include "io/zip_error.h"
#include "tests/data/error_text.h"

namespace tarkeep::data {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Gradients plus noise: compressible, with wrapping predictor sums.
Bytes test_pixels(std::uint32_t w, std::uint32_t h, unsigned seed) {
    std::mt19937 random(seed);
    Bytes pixels;
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            pixels.insert(pixels.end(), {std::uint8_t(x * 3 + random() % 8), std::uint8_t(y * 5),
                                         std::uint8_t((x ^ y) + random() % 3), std::uint8_t(255 - x)});
    return pixels;
}

// The pixels libpng reads, after checking the size it reads.
Bytes libpng_decode(const Bytes& file, std::uint32_t w, std::uint32_t h) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return {};
    EXPECT_EQ(image.width, w);
    EXPECT_EQ(image.height, h);
    image.format = PNG_FORMAT_RGBA;
    Bytes pixels(PNG_IMAGE_SIZE(image));
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    return pixels;
}

// A chunk-level view of a PNG file, for building damaged and unusual files.
struct Chunk {
    std::string type;
    Bytes data;
    bool bad_crc = false;
};

std::vector<Chunk> split_chunks(const Bytes& file) {
    std::vector<Chunk> chunks;
    for (std::size_t p = 8; p + 12 <= file.size();) {
        const std::uint32_t n = io::load_be32(&file[p]);
        const auto at = file.begin() + std::ptrdiff_t(p);
        chunks.push_back({std::string(at + 4, at + 8), Bytes(at + 8, at + 8 + n)});
        p += n + 12;
    }
    return chunks;
}

Bytes join_chunks(const std::vector<Chunk>& chunks) {
    Bytes out = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    for (const Chunk& c : chunks) {
        io::append_be32(out, std::uint32_t(c.data.size()));
        const std::size_t body = out.size();
        out.insert(out.end(), c.type.begin(), c.type.end());
        out.insert(out.end(), c.data.begin(), c.data.end());
        io::append_be32(out,
                        std::uint32_t(::crc32(0, out.data() + body, uInt(out.size() - body))) ^ (c.bad_crc ? 1u : 0u));
    }
    return out;
}

Bytes header(std::uint32_t w, std::uint32_t h, std::uint8_t depth = 8, std::uint8_t colour = 6,
             std::uint8_t interlace = 0) {
    Bytes data;
    io::append_be32(data, w);
    io::append_be32(data, h);
    data.insert(data.end(), {depth, colour, 0, 0, interlace});
    return data;
}

Bytes zlib_compress(const Bytes& raw) {
    uLongf size = compressBound(uLong(raw.size()));
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, raw.data(), uLong(raw.size()), 6), Z_OK);
    out.resize(size);
    return out;
}

// A PNG from given filtered rows, compressed by zlib.
Bytes png_from_rows(std::uint32_t w, std::uint32_t h, const Bytes& rows) {
    return join_chunks({{"IHDR", header(w, h)}, {"IDAT", zlib_compress(rows)}, {"IEND", {}}});
}

// Filters `pixels` row by row with the given types (plain predictors, straight from their
// definitions).
Bytes filter_rows(const Bytes& pixels, std::uint32_t width, const std::vector<int>& types) {
    const std::size_t stride = std::size_t(width) * 4;
    Bytes out;
    for (std::size_t y = 0; y < types.size(); ++y) {
        out.push_back(std::uint8_t(types[y]));
        for (std::size_t i = 0; i < stride; ++i) {
            const auto at = [&](std::size_t row, std::size_t col) -> int { return pixels[row * stride + col]; };
            const int a = i >= 4 ? at(y, i - 4) : 0, b = y > 0 ? at(y - 1, i) : 0;
            const int c = i >= 4 && y > 0 ? at(y - 1, i - 4) : 0;
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            const int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            const int predictor[] = {0, a, b, (a + b) / 2, paeth};
            out.push_back(std::uint8_t(at(y, i) - predictor[types[y]]));
        }
    }
    return out;
}

// The PngError text of decoding `file`; any other error fails the test.
std::string error_of(const Bytes& file) {
    return test::error_text<image::PngError>([&] { image::decode_png(file); });
}

// 301x60 gives 60 * 1205 filtered bytes: more than one stored block holds. Rows filtered
// with every type in turn and compressed by zlib go through the whole reader.
TEST(Png, LibpngReadsOurFilesAndWeReadFilteredRows) {
    for (auto [w, h] : {std::pair{1u, 1u}, std::pair{3u, 40u}, std::pair{37u, 21u}, std::pair{301u, 60u}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const Bytes pixels = test_pixels(w, h, w + h);
        for (bool compress : {true, false}) {
            const Bytes file = image::encode_png(w, h, pixels.data(), compress);
            EXPECT_EQ(libpng_decode(file, w, h), pixels) << "compress " << compress;
            EXPECT_EQ(image::decode_png(file).pixels, pixels) << "compress " << compress;
        }
        std::vector<int> types(h);
        for (std::uint32_t y = 0; y < h; ++y) types[y] = int(y % 5);
        const image::RgbaImage image = image::decode_png(png_from_rows(w, h, filter_rows(pixels, w, types)));
        EXPECT_EQ(std::tie(image.width, image.height, image.pixels), std::tie(w, h, pixels));
    }
}

// Widths around the vector paths' 16-byte steps; the type sequences put every filter below
// every other one and first. Both the chosen and the portable path undo them in place.
TEST(Png, EveryFilterOnEveryPathInPlace) {
    std::mt19937 random(3);
    const std::vector<std::vector<int>> sequences = {
        {0, 1, 2, 3, 4, 4, 3, 2, 1, 0}, {4, 2, 4, 1, 3, 0, 3}, {3, 3, 1, 1}, {2, 0, 2, 4, 2}, {1, 4, 0, 4}};
    for (std::uint32_t width : {1u, 3u, 4u, 5u, 37u}) {
        for (const auto& types : sequences) {
            const auto height = std::uint32_t(types.size());
            Bytes pixels(std::size_t(width) * height * 4);
            // Extremes as well as noise, so that predictor sums wrap.
            for (auto& b : pixels) b = std::uint8_t(random() % 3 == 0 ? (random() % 2) * 255 : random());
            for (auto unfilter : {image::unfilter_rgba_in_place, image::unfilter_rgba_in_place_portable}) {
                Bytes data = filter_rows(pixels, width, types);
                unfilter(data.data(), width, height);
                data.resize(pixels.size());
                EXPECT_EQ(data, pixels) << "width " << width << ", first type " << types[0];
            }
        }
    }
}

TEST(Png, WriterLayout) {
    const Bytes pixels = test_pixels(2, 2, 1);
    const auto chunks = split_chunks(image::encode_png(2, 2, pixels.data(), false));
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].type + chunks[1].type + chunks[2].type, "IHDRIDATIEND");
    EXPECT_EQ(chunks[0].data, header(2, 2));
    EXPECT_TRUE(chunks[2].data.empty());
    // zlib header without compression, one final stored block of the 18 filtered bytes,
    // row 0 with filter type 0.
    EXPECT_EQ(Bytes(chunks[1].data.begin(), chunks[1].data.begin() + 8),
              (Bytes{0x78, 0x01, 1, 18, 0, 0xFF - 18, 0xFF, 0}));
    EXPECT_EQ(split_chunks(image::encode_png(2, 2, pixels.data(), true))[1].data[1], 0x9C);

    // A zero side makes no PNG: refused, naming the size.
    for (const auto& [w, h, expected] :
         {std::tuple{0u, 0u, "0x0"}, std::tuple{0u, 5u, "0x5"}, std::tuple{5u, 0u, "5x0"}})
        EXPECT_EQ(test::error_text<image::PngError>([&] { image::encode_png(w, h, pixels.data(), true); }),
                  std::string("png: cannot write an image with a zero side: ") + expected);
}

TEST(Png, ChunkWalk) {
    const Bytes pixels = test_pixels(40, 30, 3);
    const Bytes original = image::encode_png(40, 30, pixels.data(), true);
    auto chunks = split_chunks(original);
    const Bytes zlib = chunks[1].data;

    // The zlib stream spread over several IDAT chunks, one of them empty, with unknown
    // chunks between them.
    const auto third = zlib.begin() + std::ptrdiff_t(zlib.size() / 3);
    std::vector<Chunk> several = {chunks[0],    {"tEXt", {'a', 0, 'b'}}, {"IDAT", Bytes(zlib.begin(), third)},
                                  {"IDAT", {}}, {"zzZz", Bytes(100, 7)}, {"IDAT", Bytes(third, zlib.end())},
                                  {"IEND", {}}};
    EXPECT_EQ(image::decode_png(join_chunks(several)).pixels, pixels);

    // A bad CRC counts in unknown chunks too, and after IEND nothing is read.
    several[4].bad_crc = true;
    EXPECT_EQ(error_of(join_chunks(several)), "png: chunk CRC mismatch");
    several[4].bad_crc = false;
    several.push_back({"zzZz", {}, true});
    EXPECT_EQ(image::decode_png(join_chunks(several)).pixels, pixels);

    // No IEND, and no IEND with a few stray bytes after the last chunk.
    Bytes no_end(original.begin(), original.end() - 12);
    EXPECT_EQ(image::decode_png(no_end).pixels, pixels);
    no_end.insert(no_end.end(), {0, 0, 0, 0, 'I', 'E', 'N'});
    EXPECT_EQ(image::decode_png(no_end).pixels, pixels);
}

TEST(Png, RejectionMessages) {
    const Bytes pixels = test_pixels(4, 3, 4);
    const Bytes good = image::encode_png(4, 3, pixels.data(), true);
    const auto chunks = split_chunks(good);
    const Bytes zlib = chunks[1].data;
    const auto with_header = [&](const Bytes& ihdr) { return join_chunks({{"IHDR", ihdr}, chunks[1], chunks[2]}); };
    const auto with_zlib = [&](const Bytes& z) { return join_chunks({chunks[0], {"IDAT", z}, chunks[2]}); };
    const auto set = [](Bytes bytes, std::size_t at, int value) { return bytes[at] = std::uint8_t(value), bytes; };
    const auto head = [&](std::size_t n) { return Bytes(good.begin(), good.begin() + std::ptrdiff_t(n)); };
    const int method_check = (31 - (0x79 * 256) % 31) % 31;  // check bits that suit a first byte of 0x79
    const Bytes ihdr = header(4, 3);
    Bytes filtered(3 * 17, 0);
    filtered[17] = 5;

    const std::pair<Bytes, std::string> cases[] = {
        {head(7), "png: bad signature"},
        {set(good, 1, 'Q'), "png: bad signature"},
        {head(19), "png: missing header or bad zlib stream"},
        {head(good.size() - 20), "png: truncated chunk"},                        // inside IDAT
        {set(good, 8 + 8 + 2, good[8 + 8 + 2] ^ 1), "png: chunk CRC mismatch"},  // inside the IHDR data
        {with_header(Bytes(ihdr.begin(), ihdr.end() - 1)), "png: short IHDR"},
        {with_header(header(4, 3, 16)), "png: only 8-bit RGBA without interlace"},
        {with_header(header(4, 3, 8, 2)), "png: only 8-bit RGBA without interlace"},  // RGB
        {with_header(header(4, 3, 8, 6, 1)), "png: only 8-bit RGBA without interlace"},
        {join_chunks({{"tEXt", Bytes(13, 'x')}, chunks[1], chunks[2]}), "png: missing header or bad zlib stream"},
        {join_chunks({chunks[0], chunks[2]}), "png: missing header or bad zlib stream"},  // no IDAT
        {with_zlib({0x78, 0x9C, 3, 0, 0}), "png: missing header or bad zlib stream"},
        {with_zlib(set(zlib, 1, zlib[1] ^ 1)), "png: missing header or bad zlib stream"},  // header check bits
        {with_zlib(set(set(zlib, 0, 0x79), 1, method_check)), "png: missing header or bad zlib stream"},
        {with_header(header(4, 4)), "png: unexpected image data size"},
        {with_header(header(4, 2)), "png: unexpected image data size"},
        {with_zlib(set(zlib, zlib.size() - 1, zlib.back() ^ 0x40)), "png: adler32 mismatch"},
        {png_from_rows(4, 3, filtered), "png: bad filter type"},
        {with_header(header(0xFFFFFFFF, 0xFFFFFFFF)), "png: image too large"},
        {with_header(header(65535, 65535)), "png: unexpected image data size"},
        // 1 MB of zeros claiming a 2x2 image: refused without inflating it all.
        {png_from_rows(2, 2, Bytes(1 << 20, 0)), "png: unexpected image data size"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(error_of(cases[i].first), cases[i].second) << "case " << i;

    // Damaged deflate data is reported by inflate itself.
    const Bytes damaged = with_zlib({0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});
    const std::string inflate_error = test::error_text<io::ZipError>([&] { image::decode_png(damaged); });
    EXPECT_EQ(inflate_error.rfind("inflate: ", 0), 0u) << inflate_error;
}

}  // namespace
}  // namespace tarkeep::data
