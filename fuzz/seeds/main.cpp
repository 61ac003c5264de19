// Writes the seed corpora: tarkeep_fuzz_seeds <folder> makes <folder>/<target>/ holding
// that target's seeds (earlier files there are kept, same names replaced).
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>

#include "fuzz/seeds/seed_corpus.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarkeep_fuzz_seeds <folder>\n");
        return 2;
    }
    // Seeds stay small so that libFuzzer's default length limits and mutations work on them.
    constexpr std::size_t kMaxSeed = 64 * 1024;
    try {
        for (const auto& [target, seeds] : tarkeep::fuzz::seed_corpora()) {
            const std::filesystem::path folder = std::filesystem::path(argv[1]) / target;
            std::filesystem::create_directories(folder);
            for (const auto& seed : seeds) {
                if (seed.bytes.size() >= kMaxSeed) {
                    std::fprintf(stderr, "%s/%s: %zu bytes, too large\n", target.c_str(), seed.name.c_str(),
                                 seed.bytes.size());
                    return 1;
                }
                std::ofstream out(folder / seed.name, std::ios::binary | std::ios::trunc);
                out.write(reinterpret_cast<const char*>(seed.bytes.data()), std::streamsize(seed.bytes.size()));
                if (!out) throw std::runtime_error("cannot write " + (folder / seed.name).string());
            }
            std::printf("%s: %zu seeds\n", target.c_str(), seeds.size());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarkeep_fuzz_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
