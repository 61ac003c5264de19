// Megapixels per second of the image kernels, single-threaded, each beside a straight
// per-pixel transcription of the same formula (the baseline, same results).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "image/kernels.h"
#include "image/metrics.h"
#include "tests/image/naive_image_ops.h"

namespace {

namespace image = tarkeep::image;
namespace naive = tarkeep::naive;

image::RgbaImage noise(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
    std::mt19937 rng(seed);
    image::RgbaImage im{w, h, std::vector<std::uint8_t>(std::size_t{w} * h * 4)};
    for (auto& b : im.pixels) b = static_cast<std::uint8_t>(rng());
    return im;
}

// A 512^2 source and a 2048^2 "network output" near it (the source upscaled plus noise).
const image::RgbaImage& source() {
    static const image::RgbaImage image = noise(512, 512, 1);
    return image;
}
const image::RgbaImage& hd() {
    static const image::RgbaImage image = [] {
        image::RgbaImage out = image::resize_bilinear(source(), 2048, 2048);
        std::mt19937 rng(2);
        for (auto& b : out.pixels) b = static_cast<std::uint8_t>(std::clamp(int(b) + int(rng() % 41) - 20, 0, 255));
        return out;
    }();
    return image;
}
// A 1024^2 sprite sheet: mostly transparent with opaque islands.
const image::RgbaImage& sprites() {
    static const image::RgbaImage image = [] {
        image::RgbaImage out = noise(1024, 1024, 3);
        for (std::uint32_t y = 0; y < 1024; ++y)
            for (std::uint32_t x = 0; x < 1024; ++x)
                out.pixels[(std::size_t{y} * 1024 + x) * 4 + 3] = ((x / 64 + y / 64) % 3 == 0) ? 255 : 0;
        return out;
    }();
    return image;
}

void same_or_die(bool same, const char* what) {
    if (!same) {
        std::fprintf(stderr, "%s: fast and naive results differ\n", what);
        std::abort();
    }
}

void report(benchmark::State& state, std::size_t pixels) {
    state.counters["MP/s"] =
        benchmark::Counter(double(pixels) * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void BM_back_project(benchmark::State& state) {
    const bool fast = state.range(0);
    for (auto _ : state) {
        image::RgbaImage out = fast ? image::back_project(hd(), source(), 3, 0.5, true)
                                    : naive::back_project(hd(), source(), 3, 0.5, true);
        benchmark::DoNotOptimize(out.pixels.data());
    }
    report(state, std::size_t{2048} * 2048);
}

void BM_resize_bilinear(benchmark::State& state) {
    const bool fast = state.range(0);
    for (auto _ : state) {
        image::RgbaImage out =
            fast ? image::resize_bilinear(source(), 2048, 2048) : naive::resize_bilinear(source(), 2048, 2048);
        benchmark::DoNotOptimize(out.pixels.data());
    }
    report(state, std::size_t{2048} * 2048);
}

void BM_box_down(benchmark::State& state) {
    const bool fast = state.range(0);
    for (auto _ : state) {
        image::RgbaImage out = fast ? image::box_down(hd(), 4) : naive::box_down(hd(), 4);
        benchmark::DoNotOptimize(out.pixels.data());
    }
    report(state, std::size_t{2048} * 2048);  // input pixels read
}

void BM_dering(benchmark::State& state) {
    const bool fast = state.range(0);
    image::RgbaImage work = hd();
    for (auto _ : state) {
        state.PauseTiming();
        work = hd();
        state.ResumeTiming();
        if (fast)
            image::dering(work, source(), 2);
        else
            naive::dering(work, source(), 2);
        benchmark::DoNotOptimize(work.pixels.data());
    }
    report(state, std::size_t{2048} * 2048);
}

void BM_bleed(benchmark::State& state) {
    const bool fast = state.range(0);
    image::RgbaImage work;
    for (auto _ : state) {
        state.PauseTiming();
        work = sprites();
        state.ResumeTiming();
        if (fast)
            image::bleed(work, 0, 16);
        else
            naive::bleed(work, 0, 16);
        benchmark::DoNotOptimize(work.pixels.data());
    }
    report(state, std::size_t{1024} * 1024);
}

void BM_consistency(benchmark::State& state) {
    const bool fast = state.range(0);
    for (auto _ : state) {
        double c = fast ? image::consistency(hd(), source()) : naive::consistency(hd(), source());
        benchmark::DoNotOptimize(c);
    }
    report(state, std::size_t{2048} * 2048);
}

// Both versions must agree before any figure means anything.
void check_equal_results() {
    same_or_die(image::back_project(hd(), source(), 3, 0.5, true).pixels ==
                    naive::back_project(hd(), source(), 3, 0.5, true).pixels,
                "back_project");
    same_or_die(
        image::resize_bilinear(source(), 2048, 2048).pixels == naive::resize_bilinear(source(), 2048, 2048).pixels,
        "resize_bilinear");
    same_or_die(image::box_down(hd(), 4).pixels == naive::box_down(hd(), 4).pixels, "box_down");
    image::RgbaImage a = hd(), b = hd();
    image::dering(a, source(), 2);
    naive::dering(b, source(), 2);
    same_or_die(a.pixels == b.pixels, "dering");
    image::RgbaImage c = sprites(), d = sprites();
    image::bleed(c, 0, 16);
    naive::bleed(d, 0, 16);
    same_or_die(c.pixels == d.pixels, "bleed");
    same_or_die(image::consistency(hd(), source()) == naive::consistency(hd(), source()), "consistency");
}

// Argument 1 = ours, 0 = the naive baseline.
BENCHMARK(BM_back_project)->ArgName("fast")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_resize_bilinear)->ArgName("fast")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_box_down)->ArgName("fast")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_dering)->ArgName("fast")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_bleed)->ArgName("fast")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_consistency)->ArgName("fast")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    check_equal_results();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
