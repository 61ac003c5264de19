// Definition file parsing throughput over a generated 20 MB corpus shaped like the
// game's unit definitions. Baseline: a naive tokenizer that copies every token into its
// own std::string, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "data/ddf_parser.h"
#include "data/ddf_tokenizer.h"

namespace {

using tarkeep::data::parse_ddf;
using tarkeep::data::tokenize_ddf;

std::string make_unit(std::mt19937& random, int index) {
    std::uniform_int_distribution<int> small(0, 9);
    const std::string name = "Unit_" + std::to_string(index);
    std::string text = "// unit " + name + "\nUnitModel " + name + " {\n";
    if (index % 4) text += "    Parent = Unit_" + std::to_string(index / 2) + ";\n";
    text += "    DefaultModel = \"Models\\\\Units\\\\" + name + ".nif\";\n";
    text += "    Scale = " + std::to_string(small(random)) + "." + std::to_string(small(random)) + "5f;\n";
    text += "    HitPoints = " + std::to_string(100 + index % 900) + "\n";
    text += "    Flags = (Selectable | Targetable | CastsShadow)\n";
    text += "    DefaultModelList [ " + name + "_a.nif " + name + "_b.nif ]\n";
    const int states = 3 + small(random);
    for (int s = 0; s < states; ++s) {
        text += "    States {\n        StateName = State" + std::to_string(s) + "\n";
        text += "        AnimName = \"" + name + "_anim" + std::to_string(s) + ".kf\"\n";
        text += "        AnimVariants [ v1.kf, v2.kf, v3.kf ]\n";
        text += "        Speed = " + std::to_string(small(random)) + "e-1\n";
        text += "        Effects [ Sound { File = hit.wav; Volume = 0.8 } Particle { Name = dust } ]\n";
        text += "    }\n";
    }
    text += "    /* tuning block */\n    Tuning { Range = 12; Armor = 3; Cost = [ 10 20 30 ] }\n}\n";
    return text;
}

const std::string& corpus() {
    static const std::string text = [] {
        std::mt19937 random(12345);
        std::string out;
        out.reserve(21 << 20);
        for (int i = 0; out.size() < (20u << 20); ++i) out += make_unit(random, i);
        return out;
    }();
    return text;
}

// A straightforward transcription of the token rules, for comparison.
std::vector<std::pair<int, std::string>> naive_tokenize(const std::string& text) {
    static const char* const space = "\t\n\v\f\r\x1c\x1d\x1e\x1f \x85\xa0";
    static const char* const punct = "(),;=[]{|}";
    std::vector<std::pair<int, std::string>> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c != 0 && std::strchr(space, c)) {
            ++i;
        } else if (c == '#' || text.compare(i, 2, "//") == 0) {
            const std::size_t end = text.find('\n', i);
            i = end == std::string::npos ? text.size() : end;
        } else if (text.compare(i, 2, "/*") == 0 && text.find("*/", i + 2) != std::string::npos) {
            i = text.find("*/", i + 2) + 2;
        } else if (c == '"') {
            std::size_t j = i + 1;
            while (j < text.size() && text[j] != '"') j += text[j] == '\\' ? 2 : 1;
            if (j < text.size()) {
                tokens.emplace_back(1, text.substr(i + 1, j - i - 1));
                i = j + 1;
            } else {
                ++i;
            }
        } else if (c != 0 && std::strchr(punct, c)) {
            tokens.emplace_back(2, std::string(1, c));
            ++i;
        } else {
            std::size_t j = i + 1;
            while (j < text.size() && !(text[j] != 0 && (std::strchr(space, text[j]) || std::strchr(punct, text[j]))) &&
                   text[j] != '"') {
                ++j;
            }
            tokens.emplace_back(3, text.substr(i, j - i));
            i = j;
        }
    }
    return tokens;
}

void BM_ParseDdf(benchmark::State& state) {
    const std::string& text = corpus();
    for (auto _ : state) {
        auto definitions = parse_ddf(text, "corpus.ddf");
        benchmark::DoNotOptimize(definitions.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

void BM_TokenizeDdf(benchmark::State& state) {
    const std::string& text = corpus();
    for (auto _ : state) {
        auto tokens = tokenize_ddf(text);
        benchmark::DoNotOptimize(tokens.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

void BM_NaiveTokenizeBaseline(benchmark::State& state) {
    const std::string& text = corpus();
    for (auto _ : state) {
        auto tokens = naive_tokenize(text);
        benchmark::DoNotOptimize(tokens.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

}  // namespace

// Steady figures want a longer run than the default: --benchmark_min_time=2.
BENCHMARK(BM_ParseDdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TokenizeDdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NaiveTokenizeBaseline)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
