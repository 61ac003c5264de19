// Mip chains averaged in linear light against the plain average of stored values (the baseline),
// on a 2048x2048 texture with fine bright detail: the time per chain, and how far each chain's
// smallest levels drift from the brightness of level 0 ("drift_%": mean linear light of the 8x8
// level against level 0's, in percent).
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "image/mip_chain.h"

namespace {

using tarkeep::image::MipAverage;
using tarkeep::image::RgbaImage;
constexpr std::uint32_t side = 2048;

// Dark ground with bright pebbles and grass blades a pixel or two wide: the detail that a
// distant view averages away.
const RgbaImage& detailed() {
    static const RgbaImage image = [] {
        std::mt19937 random(7);
        RgbaImage out{side, side, std::vector<std::uint8_t>(std::size_t(side) * side * 4, 255)};
        for (std::size_t i = 0; i < std::size_t(side) * side; ++i) {
            const bool bright = random() % 100 < 15;
            const int base = bright ? 200 + int(random() % 50) : 30 + int(random() % 40);
            out.pixels[i * 4] = std::uint8_t(base), out.pixels[i * 4 + 1] = std::uint8_t(base + (bright ? 5 : 15));
            out.pixels[i * 4 + 2] = std::uint8_t(base / 2);
        }
        return out;
    }();
    return image;
}

double mean_light(const RgbaImage& image) {
    double sum = 0;
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        if (i % 4 == 3) continue;
        const double s = image.pixels[i] / 255.0;
        sum += s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    }
    return sum / double(image.pixels.size() / 4 * 3);
}

void MipChain(benchmark::State& state) {
    const auto average = state.range(0) == 0 ? MipAverage::light : MipAverage::plain;
    std::vector<RgbaImage> chain;
    for (auto _ : state) {
        chain = tarkeep::image::mip_chain(detailed(), average);
        benchmark::DoNotOptimize(chain.back().pixels.data());
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * side * side);
    const RgbaImage& small = chain[chain.size() - 4];  // 8x8
    state.counters["drift_%"] = 100.0 * (mean_light(small) / mean_light(chain[0]) - 1.0);
    state.SetLabel(average == MipAverage::light ? "linear light (ours)" : "stored values (baseline)");
}
BENCHMARK(MipChain)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
