#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <string>

#include "data/gltf_error.h"
#include "data/texture/png.h"
#include "io/zip_error.h"

namespace tarkeep::data {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes test_pixels(std::uint32_t w, std::uint32_t h, unsigned seed) {
    std::mt19937 random(seed);
    Bytes pixels(std::size_t(w) * h * 4);
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            std::uint8_t* p = &pixels[(std::size_t(y) * w + x) * 4];
            // Gradients plus noise: libpng picks different filters row by row on this.
            p[0] = std::uint8_t(x * 3 + random() % 8);
            p[1] = std::uint8_t(y * 5);
            p[2] = std::uint8_t((x ^ y) + random() % 3);
            p[3] = std::uint8_t(255 - x);
        }
    }
    return pixels;
}

Bytes libpng_encode(const Bytes& pixels, std::uint32_t w, std::uint32_t h) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = w;
    image.height = h;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr));
    Bytes out(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr));
    out.resize(size);
    return out;
}

bool libpng_decode(const Bytes& file, Bytes& pixels, std::uint32_t& w, std::uint32_t& h) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return false;
    image.format = PNG_FORMAT_RGBA;
    pixels.assign(PNG_IMAGE_SIZE(image), 0);
    w = image.width;
    h = image.height;
    return png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
}

// A chunk-level view of a PNG file, for building damaged and unusual files.
struct Chunk {
    std::string type;
    Bytes data;
    bool bad_crc = false;
};

void put_be32(Bytes& out, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(std::uint8_t(v >> s));
}

std::uint32_t get_be32(const std::uint8_t* p) { return std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

std::vector<Chunk> split_chunks(const Bytes& file) {
    std::vector<Chunk> chunks;
    for (std::size_t p = 8; p + 12 <= file.size();) {
        const std::uint32_t n = get_be32(&file[p]);
        chunks.push_back({std::string(file.begin() + std::ptrdiff_t(p + 4), file.begin() + std::ptrdiff_t(p + 8)),
                          Bytes(file.begin() + std::ptrdiff_t(p + 8), file.begin() + std::ptrdiff_t(p + 8 + n))});
        p += n + 12;
    }
    return chunks;
}

Bytes join_chunks(const std::vector<Chunk>& chunks) {
    Bytes out = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    for (const Chunk& c : chunks) {
        put_be32(out, std::uint32_t(c.data.size()));
        Bytes body(c.type.begin(), c.type.end());
        body.insert(body.end(), c.data.begin(), c.data.end());
        out.insert(out.end(), body.begin(), body.end());
        put_be32(out, std::uint32_t(::crc32(0, body.data(), uInt(body.size()))) ^ (c.bad_crc ? 1u : 0u));
    }
    return out;
}

Bytes header(std::uint32_t w, std::uint32_t h, std::uint8_t depth = 8, std::uint8_t colour = 6, std::uint8_t interlace = 0) {
    Bytes data;
    put_be32(data, w);
    put_be32(data, h);
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

std::string error_of(const Bytes& file) {
    try {
        decode_png(file);
    } catch (const GltfError& e) {
        return e.what();
    } catch (const io::ZipError& e) {
        return std::string("zip: ") + e.what();
    }
    return "no error";
}

TEST(Png, OurFilesReadByLibpng) {
    for (bool compress : {true, false}) {
        for (auto [w, h] : {std::pair{1u, 1u}, std::pair{37u, 21u}, std::pair{200u, 90u}}) {
            const Bytes pixels = test_pixels(w, h, w);
            const Bytes file = encode_png(w, h, pixels.data(), compress);
            Bytes read;
            std::uint32_t rw = 0, rh = 0;
            ASSERT_TRUE(libpng_decode(file, read, rw, rh)) << w << "x" << h;
            EXPECT_EQ(rw, w);
            EXPECT_EQ(rh, h);
            EXPECT_EQ(read, pixels) << w << "x" << h << " compress " << compress;
            const RgbaImage back = decode_png(file);
            EXPECT_EQ(back.pixels, pixels);
        }
    }
}

TEST(Png, LibpngFilesReadByUs) {
    for (auto [w, h] : {std::pair{1u, 1u}, std::pair{3u, 40u}, std::pair{64u, 64u}, std::pair{301u, 17u}}) {
        const Bytes pixels = test_pixels(w, h, h);
        const RgbaImage image = decode_png(libpng_encode(pixels, w, h));
        EXPECT_EQ(image.width, w);
        EXPECT_EQ(image.height, h);
        EXPECT_EQ(image.pixels, pixels) << w << "x" << h;
    }
}

TEST(Png, EveryFilterType) {
    // The same 3x3 image with each row filtered by each type, undone by us.
    const std::uint32_t w = 3, h = 3;
    const Bytes pixels = test_pixels(w, h, 7);
    const std::size_t stride = w * 4;
    const auto at = [&](std::size_t y, std::size_t i) -> int { return pixels[y * stride + i]; };
    for (int type = 0; type <= 4; ++type) {
        Bytes rows;
        for (std::size_t y = 0; y < h; ++y) {
            rows.push_back(std::uint8_t(type));
            for (std::size_t i = 0; i < stride; ++i) {
                const int a = i >= 4 ? at(y, i - 4) : 0, b = y > 0 ? at(y - 1, i) : 0;
                const int c = i >= 4 && y > 0 ? at(y - 1, i - 4) : 0;
                const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                const int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                const int predictor[] = {0, a, b, (a + b) / 2, paeth};
                rows.push_back(std::uint8_t(at(y, i) - predictor[type]));
            }
        }
        EXPECT_EQ(decode_png(png_from_rows(w, h, rows)).pixels, pixels) << "filter " << type;
    }
}

TEST(Png, WriterLayout) {
    const Bytes pixels = test_pixels(2, 2, 1);
    const Bytes file = encode_png(2, 2, pixels.data(), false);
    const auto chunks = split_chunks(file);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(chunks[0].data, header(2, 2));
    EXPECT_EQ(chunks[1].type, "IDAT");
    EXPECT_EQ(chunks[2].type, "IEND");
    EXPECT_TRUE(chunks[2].data.empty());
    const Bytes& zlib = chunks[1].data;
    EXPECT_EQ(zlib[0], 0x78);
    EXPECT_EQ(zlib[1], 0x01);
    EXPECT_EQ(zlib[2], 1);  // one final stored block of the 18 filtered bytes
    EXPECT_EQ(zlib[3], 18);
    EXPECT_EQ(zlib[5], 0xFF - 18);
    EXPECT_EQ(zlib[7], 0);  // filter type of row 0
    EXPECT_EQ(split_chunks(encode_png(2, 2, pixels.data(), true))[1].data[1], 0x9C);

    // 300x60 gives 60 * 1201 = 72060 filtered bytes: a 65535 block and a final 6525 one.
    const Bytes big = test_pixels(300, 60, 2);
    const Bytes stored = split_chunks(encode_png(300, 60, big.data(), false))[1].data;
    EXPECT_EQ(stored[2], 0);
    EXPECT_EQ(stored[3] | stored[4] << 8, 65535);
    const std::size_t second = 2 + 5 + 65535;
    EXPECT_EQ(stored[second], 1);
    EXPECT_EQ(stored[second + 1] | stored[second + 2] << 8, 72060 - 65535);
    EXPECT_EQ(stored.size(), second + 5 + (72060 - 65535) + 4);

    for (auto [w, h] : {std::pair{0u, 0u}, std::pair{0u, 5u}, std::pair{5u, 0u}}) {
        for (bool compress : {true, false}) {
            const RgbaImage empty = decode_png(encode_png(w, h, nullptr, compress));
            EXPECT_EQ(empty.width, w);
            EXPECT_EQ(empty.height, h);
            EXPECT_TRUE(empty.pixels.empty());
        }
    }
    const Bytes stored_empty = split_chunks(encode_png(0, 0, nullptr, false))[1].data;
    EXPECT_EQ(stored_empty, (Bytes{0x78, 0x01, 1, 0, 0, 0xFF, 0xFF, 0, 0, 0, 1}));
}

TEST(Png, ChunkWalk) {
    const Bytes pixels = test_pixels(40, 30, 3);
    const Bytes original = encode_png(40, 30, pixels.data(), true);
    auto chunks = split_chunks(original);
    const Bytes zlib = chunks[1].data;

    // The zlib stream spread over several IDAT chunks, one of them empty, with unknown
    // chunks between them.
    std::vector<Chunk> several = {chunks[0], {"tEXt", {'a', 0, 'b'}}};
    const std::size_t third = zlib.size() / 3;
    several.push_back({"IDAT", Bytes(zlib.begin(), zlib.begin() + std::ptrdiff_t(third))});
    several.push_back({"IDAT", {}});
    several.push_back({"zzZz", Bytes(100, 7)});
    several.push_back({"IDAT", Bytes(zlib.begin() + std::ptrdiff_t(third), zlib.end())});
    several.push_back({"IEND", {}});
    EXPECT_EQ(decode_png(join_chunks(several)).pixels, pixels);

    // A bad CRC counts in unknown chunks too, and after IEND nothing is read.
    several[4].bad_crc = true;
    EXPECT_EQ(error_of(join_chunks(several)), "png: chunk CRC mismatch");
    several[4].bad_crc = false;
    several.push_back({"zzZz", {}, true});
    EXPECT_EQ(decode_png(join_chunks(several)).pixels, pixels);

    // No IEND, and no IEND with a few stray bytes after the last chunk.
    Bytes no_end(original.begin(), original.end() - 12);
    EXPECT_EQ(decode_png(no_end).pixels, pixels);
    no_end.insert(no_end.end(), {0, 0, 0, 0, 'I', 'E', 'N'});
    EXPECT_EQ(decode_png(no_end).pixels, pixels);
}

TEST(Png, RejectionMessages) {
    const Bytes pixels = test_pixels(4, 3, 4);
    const Bytes good = encode_png(4, 3, pixels.data(), true);
    const auto chunks = split_chunks(good);
    const Bytes zlib = chunks[1].data;
    const auto with = [&](std::vector<Chunk> list) { return join_chunks(list); };
    const auto replace_zlib = [&](Bytes z) { return with({chunks[0], {"IDAT", z}, chunks[2]}); };

    struct Case {
        const char* name;
        Bytes file;
        std::string message;
    };
    Bytes wrong_signature = good;
    wrong_signature[1] = 'Q';
    Bytes cut = good;
    cut.resize(good.size() - 20);  // inside IDAT
    Bytes flipped = good;
    flipped[8 + 8 + 2] ^= 1;  // inside the IHDR data
    Bytes bad_check = zlib;
    bad_check[1] ^= 1;
    Bytes bad_method = zlib;
    bad_method[0] = 0x79;
    bad_method[1] = std::uint8_t((31 - (0x79 * 256) % 31) % 31);  // check bits still fine
    Bytes bad_adler = zlib;
    bad_adler.back() ^= 0x40;
    Bytes filtered(3 * 17, 0);
    filtered[17] = 5;
    Bytes short_ihdr = header(4, 3);
    short_ihdr.pop_back();
    const Case cases[] = {
        {"empty", {}, "png: bad signature"},
        {"seven bytes", Bytes(good.begin(), good.begin() + 7), "png: bad signature"},
        {"wrong signature", wrong_signature, "png: bad signature"},
        {"nineteen bytes", Bytes(good.begin(), good.begin() + 19), "png: missing header or bad zlib stream"},
        {"truncated", cut, "png: truncated chunk"},
        {"crc", flipped, "png: chunk CRC mismatch"},
        {"short IHDR", with({{"IHDR", short_ihdr}, chunks[1], chunks[2]}), "png: short IHDR"},
        {"16-bit", with({{"IHDR", header(4, 3, 16)}, chunks[1], chunks[2]}), "png: only 8-bit RGBA without interlace"},
        {"RGB", with({{"IHDR", header(4, 3, 8, 2)}, chunks[1], chunks[2]}), "png: only 8-bit RGBA without interlace"},
        {"palette", with({{"IHDR", header(4, 3, 8, 3)}, chunks[1], chunks[2]}), "png: only 8-bit RGBA without interlace"},
        {"grey", with({{"IHDR", header(4, 3, 8, 0)}, chunks[1], chunks[2]}), "png: only 8-bit RGBA without interlace"},
        {"interlaced", with({{"IHDR", header(4, 3, 8, 6, 1)}, chunks[1], chunks[2]}), "png: only 8-bit RGBA without interlace"},
        {"no IHDR", with({{"tEXt", Bytes(13, 'x')}, chunks[1], chunks[2]}), "png: missing header or bad zlib stream"},
        {"no IDAT", with({chunks[0], chunks[2]}), "png: missing header or bad zlib stream"},
        {"tiny zlib", replace_zlib({0x78, 0x9C, 3, 0, 0}), "png: missing header or bad zlib stream"},
        {"zlib check", replace_zlib(bad_check), "png: missing header or bad zlib stream"},
        {"zlib method", replace_zlib(bad_method), "png: missing header or bad zlib stream"},
        {"taller", with({{"IHDR", header(4, 4)}, chunks[1], chunks[2]}), "png: unexpected image data size"},
        {"shorter", with({{"IHDR", header(4, 2)}, chunks[1], chunks[2]}), "png: unexpected image data size"},
        {"adler", replace_zlib(bad_adler), "png: adler32 mismatch"},
        {"filter", png_from_rows(4, 3, filtered), "png: bad filter type"},
        {"huge claim", with({{"IHDR", header(0xFFFFFFFF, 0xFFFFFFFF)}, chunks[1], chunks[2]}), "png: image too large"},
        {"large claim", with({{"IHDR", header(65535, 65535)}, chunks[1], chunks[2]}), "png: unexpected image data size"},
    };
    for (const Case& c : cases) EXPECT_EQ(error_of(c.file), c.message) << c.name;

    // Damaged deflate data is reported by inflate itself.
    Bytes garbage = {0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    EXPECT_EQ(error_of(replace_zlib(garbage)).rfind("zip: inflate: ", 0), 0u) << error_of(replace_zlib(garbage));
}

TEST(Png, InflationIsBoundedByTheHeader) {
    // 1 MB of zeros claiming a 2x2 image: refused as the wrong size without inflating it all.
    const Bytes zeros(1 << 20, 0);
    const Bytes file = join_chunks({{"IHDR", header(2, 2)}, {"IDAT", zlib_compress(zeros)}, {"IEND", {}}});
    EXPECT_EQ(error_of(file), "png: unexpected image data size");
}

}  // namespace
}  // namespace tarkeep::data
