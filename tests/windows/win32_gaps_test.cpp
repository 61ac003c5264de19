// What Windows does differently from Wine's defaults, where Wine can show it: replacing a
// file that another program holds open, a child started while our standard output is not
// inheritable, the long-path manifest in every program, and an atomic write into a cache
// folder nested past 300 characters. The Windows-only cases skip on POSIX.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/clock.h"
#include "platform/cmdline.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::test {
namespace {

namespace fs = std::filesystem;

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A target with "old" and its replacement "<target>.tmp" with "new".
struct HeldTarget {
    TempDir dir;
    fs::path target = dir / "a.png";
    fs::path temporary = dir / "a.png.tmp";
    HeldTarget() {
        std::ofstream(target, std::ios::binary) << "old";
        std::ofstream(temporary, std::ios::binary) << "new";
    }
};

TEST(ReplaceFile, HeldTargetFailsWithTheSystemsMessageAndStaysIntact) {
    if (platform::has_posix_shell()) GTEST_SKIP() << "POSIX renames over an open file";
    HeldTarget f;
    std::ifstream holder(f.target, std::ios::binary);  // shares reading and writing, not deletion
    try {
        platform::replace_file(f.temporary, f.target);
        FAIL() << "replaced a file held open without delete sharing";
    } catch (const fs::filesystem_error& error) {
        const int code = error.code().value();
        EXPECT_TRUE(code == 5 || code == 32) << code;  // access denied or sharing violation
        EXPECT_NE(std::string(error.what()).find(platform::system_message(code)), std::string::npos) << error.what();
    }
    holder.close();
    EXPECT_EQ(read_text(f.target), "old");
    EXPECT_EQ(read_text(f.temporary), "new");
}

TEST(ReplaceFile, TargetReleasedWhileRetryingIsReplaced) {
    if (platform::has_posix_shell()) GTEST_SKIP() << "POSIX renames over an open file";
    HeldTarget f;
    auto holder = std::make_unique<std::ifstream>(f.target, std::ios::binary);
    // Released well inside the retries' second or so, as a scanner lets go.
    std::thread release([&] {
        platform::sleep_milliseconds(60);
        holder.reset();
    });
    EXPECT_NO_THROW(platform::replace_file(f.temporary, f.target));
    release.join();
    EXPECT_EQ(read_text(f.target), "new");
    EXPECT_FALSE(fs::exists(f.temporary));
}

fs::path non_inheritable_output() { return fs::temp_directory_path() / "tarkeep-non-inheritable-stdout.txt"; }

// Run only as a child of the test below: our standard output becomes a file handle that
// children cannot inherit ("N"), as it is when a GUI or a service starts the tool.
TEST(ChildHandles, DISABLED_StartedWithANonInheritableStandardOutput) {
    ASSERT_NE(std::freopen(platform::path_to_utf8(non_inheritable_output()).c_str(), "wN", stdout), nullptr);
    EXPECT_EQ(platform::run_process("cmd.exe /c echo plain", {}), 0);
    const TempDir dir;
    EXPECT_EQ(platform::run_process("cmd.exe /c echo logged& echo to the log 1>&2", dir / "log.txt"), 0);
    std::fflush(stdout);
    std::fprintf(stderr, "log: %s\n", read_text(dir / "log.txt").c_str());
}

TEST(ChildHandles, ChildWritesWhereOurNonInheritableStandardOutputGoes) {
    if (platform::has_posix_shell()) GTEST_SKIP() << "handle inheritance is a Windows matter";
    const TempDir dir;
    fs::remove(non_inheritable_output());
    const int code = platform::run_program_captured(
        platform::executable_path(),
        {"--gtest_also_run_disabled_tests",
         "--gtest_filter=ChildHandles.DISABLED_StartedWithANonInheritableStandardOutput"},
        dir / "out.txt", dir / "err.txt");
    const std::string out = read_text(non_inheritable_output()), err = read_text(dir / "err.txt");
    EXPECT_EQ(code, 0) << out << err;
    EXPECT_NE(out.find("plain"), std::string::npos) << out;
    EXPECT_NE(out.find("logged"), std::string::npos) << out;
    EXPECT_NE(err.find("log: to the log"), std::string::npos) << err;
    fs::remove(non_inheritable_output());
}

TEST(LongPaths, EveryProgramCarriesTheLongPathAwareManifest) {
    if (platform::has_posix_shell()) GTEST_SKIP() << "application manifests are Windows resources";
    for (const fs::path& program : {platform::executable_path(), built_program("server/tarkeep_server"),
                                    built_program("tools/upscale/tarkeep_upscale")}) {
        const std::string bytes = read_text(program);
        EXPECT_NE(bytes.find("<longPathAware"), std::string::npos) << program;
        EXPECT_NE(bytes.find("level=\"asInvoker\""), std::string::npos) << program;
    }
}

// Wine has no 260-character limit in CreateFileW or MoveFileExW, so this passes there with
// or without the extended-length form; Windows without the long-path switch needs it.
TEST(LongPaths, AtomicWriteIntoACacheFolderNestedPastThreeHundredCharacters) {
    const TempDir dir;
    fs::path cache = dir.path();
    for (char c = 'a'; cache.native().size() <= 300; ++c) cache /= std::string(40, c);
    fs::create_directories(cache);
    const std::string bytes = "new texture";
    const std::span<const std::uint8_t> span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    for (int round = 0; round < 2; ++round) {  // the second replaces an existing file
        ASSERT_EQ(platform::write_file_synced(cache / "t0.png.tmp", span), platform::WriteStatus::ok);
        platform::replace_file(cache / "t0.png.tmp", cache / "t0.png");
    }
    EXPECT_EQ(read_text(cache / "t0.png"), bytes);
    EXPECT_FALSE(fs::exists(cache / "t0.png.tmp"));
}

}  // namespace
}  // namespace tarkeep::test
