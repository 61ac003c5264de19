// The sample game program: help and bad usage, repeatable output per seed, and its report.
#include <gtest/gtest.h>

#include <map>

#include "io/zip_writer.h"
#include "tests/tools/sample_game/sample_game_fixture.h"
#include "io/file_bytes.h"

namespace tarkeep::test {

using io::bytes_of;
using io::read_file;
using io::write_file;
namespace {

std::map<std::string, std::vector<std::uint8_t>> archive_files(const std::filesystem::path& dir) {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "zips"))
        files[entry.path().filename().string()] = read_file(entry.path());
    return files;
}

TEST(SampleGameProgram, HelpAndBadUsage) {
    const ProgramResult help = run_program(sample_program(), {"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_EQ(help.out.rfind("usage: tarkeep_sample_game <out dir>", 0), 0u) << help.out;

    TempDir dir;
    const struct {
        std::vector<std::string> arguments;
        const char* reason;
    } cases[] = {
        {{}, "missing <out dir>"},
        {{dir.path().string(), "--size", "huge"}, "--size must be small, medium or large"},
        {{dir.path().string(), "--seed", "12x"}, "--seed needs an unsigned number"},
        {{dir.path().string(), "--seed", "-3"}, "--seed needs an unsigned number"},
        {{dir.path().string(), "--seed"}, "--seed needs a value"},
        {{dir.path().string(), "--colour", "red"}, "unknown option --colour"},
        {{dir.path().string(), "second"}, "more than one output folder"},
    };
    for (const auto& c : cases) {
        const ProgramResult run = run_program(sample_program(), c.arguments);
        EXPECT_TRUE(run.exit_code == 2 && run.err.find(c.reason) != std::string::npos &&
                    run.err.find("usage:") != std::string::npos)
            << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "zips"));
}

TEST(SampleGameProgram, SameSeedSameBytesOtherSeedOtherImagesAndTheReportCountsArchives) {
    REQUIRE_SMALL_SAMPLE();
    const auto first = archive_files(sample.dir.path());
    TempDir again, other;
    ASSERT_EQ(run_program(sample_program(), {again.path().string(), "--seed", "7"}).exit_code, 0);
    // A leftover archive stays where it is, with a warning: the readers would open it too.
    std::filesystem::create_directories(other / "zips");
    write_file(other / "zips" / "Old.ZIP", bytes_of("not ours"));
    const ProgramResult other_run =
        run_program(sample_program(), {other.path().string(), "--size", "small", "--seed", "8"});
    ASSERT_EQ(other_run.exit_code, 0) << other_run.err;
    EXPECT_NE(other_run.err.find("warning: Old.ZIP in "), std::string::npos) << other_run.err;
    EXPECT_EQ(archive_files(again.path()), first);

    auto changed = archive_files(other.path());
    EXPECT_EQ(changed.erase("Old.ZIP"), 1u);
    ASSERT_EQ(changed.size(), first.size());
    for (const auto& [name, bytes] : first)  // the tables do not depend on the seed; every image archive does
        EXPECT_EQ(changed.at(name) == bytes, name == "db.zip" || name == "art1.zip") << name;
    EXPECT_NE(sample.run.out.find("sample game (size small, seed 7)"), std::string::npos) << sample.run.out;
    EXPECT_EQ(reported_number(sample.run.out, "\n"), static_cast<long long>(first.size()));
    for (const auto& [name, bytes] : first) EXPECT_NE(sample.run.out.find("  " + name), std::string::npos) << name;
}

}  // namespace
}  // namespace tarkeep::test
