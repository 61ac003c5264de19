#pragma once
#include <cstdio>
#include <filesystem>

#include "tests/support/sample_game.h"

namespace tarkeep::sample_game {

// What the sample contains, for the person who asked for it.
void print_sample_report(std::FILE* out, const std::filesystem::path& zips, const test::SampleGameOptions& options,
                         const test::SampleGameSummary& summary, double seconds);

}  // namespace tarkeep::sample_game
