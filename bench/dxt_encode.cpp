// DXT encoding against its baselines, measured in the same run: our best mode on 1 and 2
// threads (and the fast mode the made-up game files use), libsquish's cluster fit and
// stb_dxt's high-quality mode, both on one thread. Items/s are pixels/s; "rmse" is the error
// of the result decoded by our decode_dxt (the game's arithmetic) over RGB for DXT1 and RGBA
// for DXT5. Two 1024x1024 images: photo-like and flat-shaded.
#include <benchmark/benchmark.h>
#include <squish.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>

#define STB_DXT_IMPLEMENTATION
#include <stb/stb_dxt.h>

#include "data/texture/dxt.h"
#include "data/texture/dxt_encoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace data = tarkeep::data;
constexpr std::uint32_t side = 1024;

// Smooth value noise over a wrapped 64x64 lattice, several octaves, in [0, 1).
class ValueNoise {
public:
    explicit ValueNoise(std::uint32_t seed) {
        std::mt19937 random(seed);
        for (float& v : lattice_) v = float(random() % 4096) / 4096.0f;
    }

    float operator()(float x, float y, int octaves) const {
        float total = 0, amplitude = 0.5f, norm = 0;
        for (int o = 0; o < octaves; ++o, amplitude *= 0.5f, x *= 2, y *= 2) {
            total += amplitude * smooth(x, y);
            norm += amplitude;
        }
        return total / norm;
    }

private:
    static constexpr int grid = 64;
    float at(int x, int y) const { return lattice_[std::size_t((y & (grid - 1)) * grid + (x & (grid - 1)))]; }
    float smooth(float x, float y) const {
        const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
        float fx = x - float(x0), fy = y - float(y0);
        fx = fx * fx * (3 - 2 * fx), fy = fy * fy * (3 - 2 * fy);
        const float top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * fx;
        const float bottom = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * fx;
        return top + (bottom - top) * fy;
    }
    std::array<float, grid * grid> lattice_{};
};

std::uint8_t clamp8(float v) { return std::uint8_t(std::clamp(int(std::lround(v)), 0, 255)); }

// Photo-like, as an outside upscaler writes them: textured colour from noise of several
// scales, shaded discs with sharp rims, sensor-like grain; alpha of soft clouds with clear holes
// and opaque parts.
Bytes photo_like() {
    const ValueNoise hue(11), light(12), detail(13), cloud(14);
    std::mt19937 random(15);
    struct Disc {
        float x, y, r;
        float colour[3];
    };
    std::vector<Disc> discs(60);
    for (Disc& d : discs) {
        d = {float(random() % side),
             float(random() % side),
             float(side / 64 + random() % (side / 6)),
             {float(random() % 256), float(random() % 256), float(random() % 256)}};
    }
    Bytes pixels(std::size_t(side) * side * 4);
    const float scale = 8.0f / float(side);
    for (std::uint32_t y = 0; y < side; ++y) {
        for (std::uint32_t x = 0; x < side; ++x) {
            const float fx = float(x) * scale, fy = float(y) * scale;
            const float h = hue(fx, fy, 3), l = 0.35f + 0.65f * light(fx * 2, fy * 2, 5);
            const float d = detail(fx * 16, fy * 16, 3);
            float c[3] = {255 * l * (0.4f + 0.6f * h), 255 * l * (0.3f + 0.5f * (1 - h) + 0.2f * d),
                          255 * l * (0.2f + 0.6f * d)};
            for (const Disc& disc : discs) {
                const float dx = float(x) - disc.x, dy = float(y) - disc.y;
                if (dx * dx + dy * dy < disc.r * disc.r) {
                    const float shade = 0.6f + 0.4f * (dx + dy) / (2 * disc.r) + 0.15f * d;
                    for (int k = 0; k < 3; ++k) c[k] = disc.colour[k] * shade;
                }
            }
            std::uint8_t* p = &pixels[(std::size_t(y) * side + x) * 4];
            for (int k = 0; k < 3; ++k) p[k] = clamp8(c[k] + float(int(random() % 9) - 4));
            p[3] = clamp8(cloud(fx, fy, 4) * 640 - 192);
        }
    }
    return pixels;
}

// Flat-shaded, like a cartoon unit skin: large flat regions, some with a gentle gradient,
// outlined by hard dark edges; alpha opaque on the shapes, clear around them, a few
// half-transparent panels and soft fades.
Bytes flat_shaded() {
    std::mt19937 random(21);
    Bytes pixels(std::size_t(side) * side * 4);
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = 70, pixels[i + 1] = 90, pixels[i + 2] = 60, pixels[i + 3] = 0;
    }
    for (int shape = 0; shape < 90; ++shape) {
        const float cx = float(random() % side), cy = float(random() % side);
        const float rx = float(side / 40 + random() % (side / 7)), ry = float(side / 40 + random() % (side / 7));
        const bool ellipse = random() % 2, gradient = random() % 3 == 0;
        const int alpha_kind = int(random() % 6);  // 0: half transparent, 1: a fade, else opaque
        const float colour[3] = {float(random() % 256), float(random() % 256), float(random() % 256)};
        for (int y = std::max(0, int(cy - ry)); y <= std::min(int(side) - 1, int(cy + ry)); ++y) {
            for (int x = std::max(0, int(cx - rx)); x <= std::min(int(side) - 1, int(cx + rx)); ++x) {
                const float dx = (float(x) - cx) / rx, dy = (float(y) - cy) / ry;
                const float inside = ellipse ? std::sqrt(dx * dx + dy * dy) : std::max(std::abs(dx), std::abs(dy));
                if (inside > 1) continue;
                std::uint8_t* p = &pixels[(std::size_t(y) * side + std::uint32_t(x)) * 4];
                if ((1 - inside) * std::min(rx, ry) < 2.5f) {  // the outline
                    p[0] = 20, p[1] = 16, p[2] = 24, p[3] = 255;
                    continue;
                }
                const float shade = gradient ? 0.85f + 0.15f * (dy + 1) : 1.0f;
                for (int k = 0; k < 3; ++k) p[k] = clamp8(colour[k] * shade);
                p[3] = alpha_kind == 0 ? 128 : alpha_kind == 1 ? clamp8(255 * (1 - inside)) : 255;
            }
        }
    }
    return pixels;
}

Bytes opaque(Bytes pixels) {
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    return pixels;
}

// DXT1 gets the image made opaque (its alpha would only cut holes the same for everyone).
const Bytes& image(int which, std::uint32_t format) {
    static const Bytes photo = photo_like(), flat = flat_shaded();
    static const Bytes photo_opaque = opaque(photo), flat_opaque = opaque(flat);
    if (format == data::format_dxt1) return which == 0 ? photo_opaque : flat_opaque;
    return which == 0 ? photo : flat;
}

double rmse(const Bytes& original, const Bytes& blocks, std::uint32_t format) {
    const Bytes decoded = data::decode_dxt(blocks.data(), blocks.size(), side, side, format);
    const int channels = format == data::format_dxt1 ? 3 : 4;
    double sum = 0;
    for (std::size_t i = 0; i < original.size(); i += 4) {
        for (int c = 0; c < channels; ++c) {
            const double d = double(original[i + c]) - double(decoded[i + c]);
            sum += d * d;
        }
    }
    return std::sqrt(sum / double(original.size() / 4 * std::size_t(channels)));
}

// The baselines take one 4x4 block at a time, gathered here as our encoder gathers them.
template <class EncodeBlock>
Bytes per_block(const Bytes& rgba, std::uint32_t format, EncodeBlock encode_block) {
    const std::size_t block_size = data::dxt_block_size(format);
    Bytes out(std::size_t(side / 4) * (side / 4) * block_size);
    std::uint8_t block[64];
    for (std::uint32_t by = 0; by < side / 4; ++by) {
        for (std::uint32_t bx = 0; bx < side / 4; ++bx) {
            for (std::uint32_t row = 0; row < 4; ++row)
                std::memcpy(block + 16 * row, &rgba[((std::size_t(by) * 4 + row) * side + bx * 4) * 4], 16);
            encode_block(block, &out[(std::size_t(by) * (side / 4) + bx) * block_size]);
        }
    }
    return out;
}

const char* const kImageNames[] = {"photo", "flat"};

template <class Encode>
void run(benchmark::State& state, const char* who, Encode encode) {
    const int which = int(state.range(0));
    const auto format = std::uint32_t(state.range(1));
    const Bytes& rgba = image(which, format);  // inputs are built before timing starts
    Bytes blocks;
    for (auto _ : state) {
        blocks = encode(rgba, format);
        benchmark::DoNotOptimize(blocks.data());
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * side * side);
    state.counters["rmse"] = rmse(rgba, blocks, format);
    state.SetLabel(std::string(kImageNames[which]) + (format == data::format_dxt1 ? " DXT1 " : " DXT5 ") + who);
}

void Ours(benchmark::State& state) {
    const auto threads = unsigned(state.range(2));
    run(state, threads == 1 ? "ours, 1 thread" : "ours, 2 threads", [&](const Bytes& rgba, std::uint32_t format) {
        return data::encode_dxt(rgba.data(), side, side, format, {data::DxtQuality::best, threads});
    });
}

void OursFast(benchmark::State& state) {
    run(state, "ours fast (bounding box)", [](const Bytes& rgba, std::uint32_t format) {
        return data::encode_dxt(rgba.data(), side, side, format, {data::DxtQuality::fast, 1});
    });
}

void Squish(benchmark::State& state) {
    run(state, "libsquish cluster fit", [](const Bytes& rgba, std::uint32_t format) {
        const int flags = (format == data::format_dxt1 ? squish::kDxt1 : squish::kDxt5) | squish::kColourClusterFit;
        return per_block(rgba, format,
                         [&](const std::uint8_t* block, std::uint8_t* out) { squish::Compress(block, out, flags); });
    });
}

void Stb(benchmark::State& state) {
    run(state, "stb_dxt high quality", [](const Bytes& rgba, std::uint32_t format) {
        const int alpha = format == data::format_dxt5 ? 1 : 0;
        return per_block(rgba, format, [&](const std::uint8_t* block, std::uint8_t* out) {
            stb_compress_dxt_block(out, block, alpha, STB_DXT_HIGHQUAL);
        });
    });
}

void images_and_formats(benchmark::internal::Benchmark* b, bool with_threads) {
    for (int which : {0, 1}) {
        for (int format : {data::format_dxt1, data::format_dxt5}) {
            if (with_threads) {
                b->Args({which, format, 1})->Args({which, format, 2});
            } else {
                b->Args({which, format});
            }
        }
    }
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(Ours)->Apply([](benchmark::internal::Benchmark* b) { images_and_formats(b, true); });
BENCHMARK(OursFast)->Apply([](benchmark::internal::Benchmark* b) { images_and_formats(b, false); });
BENCHMARK(Squish)->Apply([](benchmark::internal::Benchmark* b) { images_and_formats(b, false); })->Iterations(1);
BENCHMARK(Stb)->Apply([](benchmark::internal::Benchmark* b) { images_and_formats(b, false); });

}  // namespace

BENCHMARK_MAIN();
