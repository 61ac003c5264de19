// Texture formats against their baselines, measured in the same run on one 2048x2048
// texture-like image: DXT decoding vs a per-pixel transcription, the PNG writer and our
// deflate vs libpng and zlib level 6, the PNG reader vs libpng.
#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "io/deflate.h"
#include "data/texture/dxt.h"
#include "image/png.h"
#include "data/texture/dxt_encoder.h"
#include "tests/support/naive_dxt.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint32_t side = 2048;
constexpr std::uint32_t photo_side = 1024;

// Photo-like, as an outside upscaler writes them: smooth shading with edges (discs of
// other colours), sensor-like noise of a few levels and an opaque alpha.
const Bytes& photo_like() {
    static const Bytes image = [] {
        constexpr std::uint32_t n = photo_side;
        std::mt19937 random(99);
        struct Disc {
            float x, y, r;
            int colour[3];
        };
        std::vector<Disc> discs(40);
        for (Disc& d : discs) {
            d = {float(random() % n),
                 float(random() % n),
                 float(20 + random() % 200),
                 {int(random() % 256), int(random() % 256), int(random() % 256)}};
        }
        Bytes pixels(std::size_t(n) * n * 4);
        for (std::uint32_t y = 0; y < n; ++y) {
            for (std::uint32_t x = 0; x < n; ++x) {
                int c[3] = {int(40 + x * 150 / n), int(60 + y * 120 / n), int(90 + (x + y) * 60 / n)};
                for (const Disc& d : discs) {
                    const float dx = float(x) - d.x, dy = float(y) - d.y;
                    if (dx * dx + dy * dy < d.r * d.r) {
                        const float shade = 0.7f + 0.3f * (dx / d.r);
                        for (int k = 0; k < 3; ++k) c[k] = int(float(d.colour[k]) * shade);
                    }
                }
                std::uint8_t* p = &pixels[(std::size_t(y) * n + x) * 4];
                for (int k = 0; k < 3; ++k) p[k] = std::uint8_t(std::clamp(c[k] + int(random() % 7) - 3, 0, 255));
                p[3] = 255;
            }
        }
        return pixels;
    }();
    return image;
}

// Terrain-like: several octaves of smooth value noise for the colour, fine grain on
// top, and a soft alpha.
const Bytes& texture_like() {
    static const Bytes image = [] {
        std::mt19937 random(1234);
        const int grid = 64;
        std::vector<float> lattice(grid * grid);
        for (float& v : lattice) v = float(random() % 1000) / 1000.0f;
        const auto noise = [&](float x, float y) {
            const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
            const float fx = x - float(x0), fy = y - float(y0);
            const auto at = [&](int xi, int yi) { return lattice[((yi & (grid - 1)) * grid) + (xi & (grid - 1))]; };
            const float top = at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx;
            const float bottom = at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx;
            return top * (1 - fy) + bottom * fy;
        };
        Bytes pixels(std::size_t(side) * side * 4);
        for (std::uint32_t y = 0; y < side; ++y) {
            for (std::uint32_t x = 0; x < side; ++x) {
                float n = 0, amplitude = 0.5f, scale = 1.0f / 128;
                for (int octave = 0; octave < 5; ++octave, amplitude *= 0.5f, scale *= 2) {
                    n += amplitude * noise(float(x) * scale, float(y) * scale);
                }
                const int grain = int(random() % 9) - 4;
                std::uint8_t* p = &pixels[(std::size_t(y) * side + x) * 4];
                p[0] = std::uint8_t(std::clamp(int(60 + 120 * n) + grain, 0, 255));
                p[1] = std::uint8_t(std::clamp(int(80 + 100 * n) + grain, 0, 255));
                p[2] = std::uint8_t(std::clamp(int(40 + 60 * n) + grain, 0, 255));
                p[3] = std::uint8_t(std::clamp(int(255 * n * 1.5f), 0, 255));
            }
        }
        return pixels;
    }();
    return image;
}

const Bytes& dxt_blocks(std::uint32_t format) {
    static const Bytes dxt1 =
        tarkeep::data::encode_dxt(texture_like().data(), side, side, 4, {tarkeep::data::DxtQuality::fast});
    static const Bytes dxt5 =
        tarkeep::data::encode_dxt(texture_like().data(), side, side, 6, {tarkeep::data::DxtQuality::fast});
    return format == 4 ? dxt1 : dxt5;
}

const Bytes& filtered_rows() {
    static const Bytes rows = [] {
        Bytes out;
        out.reserve(std::size_t(side) * (side * 4 + 1));
        for (std::uint32_t y = 0; y < side; ++y) {
            out.push_back(0);
            const auto row = texture_like().begin() + std::ptrdiff_t(y) * side * 4;
            out.insert(out.end(), row, row + side * 4);
        }
        return out;
    }();
    return rows;
}

void set_pixels(benchmark::State& state) { state.SetItemsProcessed(std::int64_t(state.iterations()) * side * side); }

void DxtDecode(benchmark::State& state) {
    const auto format = std::uint32_t(state.range(0));
    const Bytes& blocks = dxt_blocks(format);  // inputs are built before timing starts
    for (auto _ : state) {
        benchmark::DoNotOptimize(tarkeep::data::decode_dxt(blocks.data(), blocks.size(), side, side, format));
    }
    set_pixels(state);
    state.SetLabel(format == 4 ? "DXT1 ours (items/s = pixels/s)" : "DXT5 ours (items/s = pixels/s)");
}
BENCHMARK(DxtDecode)->Arg(4)->Arg(6)->Unit(benchmark::kMillisecond);

void DxtDecodeNaive(benchmark::State& state) {
    const auto format = std::uint32_t(state.range(0));
    const Bytes& blocks = dxt_blocks(format);
    for (auto _ : state) benchmark::DoNotOptimize(tarkeep::test::naive_decode_dxt(blocks.data(), side, side, format));
    set_pixels(state);
    state.SetLabel(format == 4 ? "DXT1 per-pixel baseline" : "DXT5 per-pixel baseline");
}
BENCHMARK(DxtDecodeNaive)->Arg(4)->Arg(6)->Unit(benchmark::kMillisecond);

Bytes libpng_encode(const Bytes& pixels, std::uint32_t width = side) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = width;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    Bytes out(size);
    png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr);
    out.resize(size);
    return out;
}

void EncodePng(benchmark::State& state) {
    texture_like();
    std::size_t size = 0;
    for (auto _ : state) {
        const Bytes file = tarkeep::image::encode_png(side, side, texture_like().data(), true);
        size = file.size();
    }
    set_pixels(state);
    state.counters["bytes"] = double(size);
    state.counters["size_vs_libpng"] = double(size) / double(libpng_encode(texture_like()).size());
}
BENCHMARK(EncodePng)->Unit(benchmark::kMillisecond);

void EncodePngLibpng(benchmark::State& state) {
    texture_like();
    std::size_t size = 0;
    for (auto _ : state) size = libpng_encode(texture_like()).size();
    set_pixels(state);
    state.counters["bytes"] = double(size);
}
BENCHMARK(EncodePngLibpng)->Unit(benchmark::kMillisecond);

Bytes zlib_raw_deflate(const Bytes& input, int level) {
    z_stream stream{};
    deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&stream, uLong(input.size())));
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = uInt(input.size());
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

void Deflate(benchmark::State& state) {
    filtered_rows();
    std::size_t size = 0;
    for (auto _ : state) size = tarkeep::io::deflate_compress(filtered_rows()).size();
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(filtered_rows().size()));
    state.counters["bytes"] = double(size);
    state.counters["size_vs_zlib6"] = double(size) / double(zlib_raw_deflate(filtered_rows(), 6).size());
}
BENCHMARK(Deflate)->Unit(benchmark::kMillisecond);

void DeflateZlib6(benchmark::State& state) {
    filtered_rows();
    std::size_t size = 0;
    for (auto _ : state) size = zlib_raw_deflate(filtered_rows(), 6).size();
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(filtered_rows().size()));
    state.counters["bytes"] = double(size);
}
BENCHMARK(DeflateZlib6)->Unit(benchmark::kMillisecond);

const Bytes& our_png() {
    static const Bytes file = tarkeep::image::encode_png(side, side, texture_like().data(), true);
    return file;
}

// Arg 0: the texture-like image as we write it; arg 1: a photo-like upscaler output as
// libpng writes it (default filters, so every row filter occurs).
const Bytes& png_file(std::int64_t which) {
    static const Bytes photo = libpng_encode(photo_like(), photo_side);
    return which == 0 ? our_png() : photo;
}

void set_png_label(benchmark::State& state, std::uint32_t width) {
    state.SetItemsProcessed(std::int64_t(state.iterations()) * width * width);
    state.SetLabel(state.range(0) == 0 ? "texture, ours (items/s = pixels/s)" : "photo, libpng (items/s = pixels/s)");
}

void DecodePng(benchmark::State& state) {
    const Bytes& file = png_file(state.range(0));
    const std::uint32_t width = state.range(0) == 0 ? side : photo_side;
    for (auto _ : state) benchmark::DoNotOptimize(tarkeep::image::decode_png(file));
    set_png_label(state, width);
}
BENCHMARK(DecodePng)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// libpng into one output buffer reused by every iteration (the harder baseline: ours
// hands out a new image each time).
void DecodePngLibpng(benchmark::State& state) {
    const Bytes& file = png_file(state.range(0));
    const std::uint32_t width = state.range(0) == 0 ? side : photo_side;
    Bytes pixels(std::size_t(width) * width * 4);
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_memory(&image, file.data(), file.size());
        image.format = PNG_FORMAT_RGBA;
        png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
    set_png_label(state, width);
}
BENCHMARK(DecodePngLibpng)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
