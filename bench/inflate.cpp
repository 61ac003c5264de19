// Inflate and CRC-32 throughput against zlib on the same data in the same run; inflate
// also against libdeflate, which shows what a decoder of the same design reaches on it.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "io/checksum.h"
#include "io/inflate.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Texture-like pixel rows: smooth gradients with a little noise, some flat areas.
void append_texture(Bytes& out, std::mt19937& random, std::size_t size) {
    const std::size_t width = 256 * 4;
    std::uint8_t rgba[4] = {static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                            static_cast<std::uint8_t>(random()), 255};
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t channel = i % 4;
        if (channel != 3) rgba[channel] = static_cast<std::uint8_t>(rgba[channel] + static_cast<int>(random() % 5) - 2);
        if (i % width == 0 && random() % 8 == 0) rgba[3] = static_cast<std::uint8_t>(random() % 2 ? 255 : 0);
        out.push_back(rgba[channel]);
    }
}

// Definition-file and table text.
void append_text(Bytes& out, std::mt19937& random, std::size_t size) {
    static const char* const kWords[] = {"unit",  "tank",  "infantry", "winter", "summer",     "texture", "weapon",
                                         "range", "speed", "armor",    "cost",   "build_time", "sight",   "model"};
    const std::size_t end = out.size() + size;
    while (out.size() < end) {
        std::string line = std::string(kWords[random() % 14]) + "_" + kWords[random() % 14] + " = " +
                           std::to_string(random() % 10000) + (random() % 3 ? ";\n" : ", 0.25;\n");
        out.insert(out.end(), line.begin(), line.end());
    }
    out.resize(end);
}

const Bytes& mixed_data() {
    static const Bytes data = [] {
        std::mt19937 random(42);
        Bytes out;
        while (out.size() < (24u << 20)) {
            if (random() % 3 == 0) {
                append_text(out, random, 64 << 10);
            } else {
                append_texture(out, random, 256 << 10);
            }
        }
        return out;
    }();
    return data;
}

const Bytes& compressed() {
    static const Bytes stream = [] {
        const Bytes& data = mixed_data();
        z_stream z{};
        if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("zlib");
        Bytes out(deflateBound(&z, static_cast<uLong>(data.size())));
        z.next_in = const_cast<Bytef*>(data.data());
        z.avail_in = static_cast<uInt>(data.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("zlib deflate");
        out.resize(z.total_out);
        deflateEnd(&z);
        return out;
    }();
    return stream;
}

void BM_InflateOurs(benchmark::State& state) {
    const Bytes& data = mixed_data();
    const Bytes& stream = compressed();
    for (auto _ : state) {
        Bytes out = tarkeep::io::inflate(stream, data.size());
        benchmark::DoNotOptimize(out.data());
        if (out.size() != data.size()) state.SkipWithError("wrong size");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
    state.counters["ratio"] = static_cast<double>(data.size()) / static_cast<double>(stream.size());
}

// The same job done the usual way with zlib: output vector of the known size, one call.
void BM_InflateZlib(benchmark::State& state) {
    const Bytes& data = mixed_data();
    const Bytes& stream = compressed();
    for (auto _ : state) {
        Bytes out(data.size());
        z_stream z{};
        inflateInit2(&z, -15);
        z.next_in = const_cast<Bytef*>(stream.data());
        z.avail_in = static_cast<uInt>(stream.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("zlib inflate failed");
        inflateEnd(&z);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_InflateLibdeflate(benchmark::State& state) {
    const Bytes& data = mixed_data();
    const Bytes& stream = compressed();
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    for (auto _ : state) {
        Bytes out(data.size());
        if (libdeflate_deflate_decompress(decompressor, stream.data(), stream.size(), out.data(), out.size(),
                                          nullptr) != LIBDEFLATE_SUCCESS)
            state.SkipWithError("libdeflate failed");
        benchmark::DoNotOptimize(out.data());
    }
    libdeflate_free_decompressor(decompressor);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_Crc32Ours(benchmark::State& state) {
    const Bytes& data = mixed_data();
    for (auto _ : state) benchmark::DoNotOptimize(tarkeep::io::crc32(data));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_Crc32Zlib(benchmark::State& state) {
    const Bytes& data = mixed_data();
    for (auto _ : state) benchmark::DoNotOptimize(crc32(0, data.data(), static_cast<uInt>(data.size())));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

BENCHMARK(BM_InflateOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InflateZlib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InflateLibdeflate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32Zlib)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
