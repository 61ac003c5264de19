// What the sample game program tells its user: the report and the leftover archives.
#pragma once
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/sample_game/sample_game.h"

namespace tarkeep::sample_game {

// What the sample contains, for the person who asked for it.
void print_sample_report(std::FILE* out, const std::filesystem::path& zips,
                         const sample_game::SampleGameOptions& options, const sample_game::SampleGameSummary& summary,
                         double seconds);

// Archives in `zips` that the sample did not write: the game's readers open every
// archive of the folder, so leftovers would mix into the sample.
std::vector<std::string> foreign_archives(const std::filesystem::path& zips,
                                          const sample_game::SampleGameSummary& summary);

}  // namespace tarkeep::sample_game
