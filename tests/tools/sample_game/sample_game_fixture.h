// One small sample game written by the program and shared by its tests, and report parsing.
#pragma once
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "data/game_archives.h"
#include "data/game_db.h"
#include "tests/support/program_run.h"
#include "tools/sample_game/sample_game.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::test {

using namespace tarkeep::sample_game;

inline std::filesystem::path sample_program() { return built_program("tools/sample_game/tarkeep_sample_game"); }

// One small sample written by the program, shared by all tests of this program (it is
// only read).
struct SmallSample {
    TempDir dir;
    ProgramResult run;
    std::unique_ptr<data::GameArchives> archives;
    std::unique_ptr<data::GameDb> db;
};

inline const SmallSample& small_sample() {
    static const std::unique_ptr<SmallSample> sample = [] {
        auto made = std::make_unique<SmallSample>();
        made->run = run_program(sample_program(), {made->dir.path().string(), "--size", "small", "--seed", "7"});
        if (made->run.exit_code == 0) {
            made->archives = std::make_unique<data::GameArchives>(made->dir.path());
            made->db = std::make_unique<data::GameDb>(made->dir.path() / "zips" / "db.zip");
        }
        return made;
    }();
    return *sample;
}

// Skips the calling test with the program's output when the sample could not be made.
#define REQUIRE_SMALL_SAMPLE()                                              \
    const SmallSample& sample = small_sample();                             \
    ASSERT_EQ(sample.run.exit_code, 0) << sample.run.out << sample.run.err; \
    ASSERT_TRUE(sample.archives&& sample.db)

// A number printed in the program's report after `label`, e.g. "terrain: " -> 6.
inline long long reported_number(const std::string& report, const std::string& label) {
    const std::size_t at = report.find(label);
    const std::size_t digits = at == std::string::npos ? at : at + label.size();
    if (digits >= report.size() || !std::isdigit(static_cast<unsigned char>(report[digits]))) return -1;
    return std::stoll(report.substr(digits));
}

}  // namespace tarkeep::test
