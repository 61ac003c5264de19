// Windows where Wine can show it: replacing a file another program holds, a child started
// while our standard output cannot be inherited, and the long-path manifest in every
// program. Wine has no 260-character limit, so a long cache folder shows nothing there.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/upscale/test_files.h"

namespace tarkeep::test {
namespace {

namespace fs = std::filesystem;

TEST(HeldFiles, ReplaceAndRemoveTreeWaitForThemThenFailWithTheSystemsMessage) {
    if (platform::has_posix_shell()) GTEST_SKIP() << "POSIX renames over an open file";
    const TempDir dir;
    std::ofstream(dir / "a") << "old";
    std::ofstream(dir / "a.tmp") << "new";
    auto holder = std::make_unique<std::ifstream>(dir / "a");  // shares reading and writing, not deletion
    try {
        platform::replace_file(dir / "a.tmp", dir / "a");
        ADD_FAILURE() << "replaced a file held open";
    } catch (const fs::filesystem_error& error) {
        // Access denied or a sharing violation, in the system's words.
        EXPECT_NE(std::string(error.what()).find(platform::system_message(error.code().value())), std::string::npos);
    }
    std::thread release([&] { platform::sleep_milliseconds(60), holder.reset(); });  // well inside the retries
    platform::replace_file(dir / "a.tmp", dir / "a");
    release.join();
    EXPECT_EQ(read_text(dir / "a"), "new");

    // Removing a folder waits the same way for a file held in it, as a child's log is a moment after it ends.
    platform::create_folders(dir / "work");
    std::ofstream(dir / "work" / "upscale_1.log") << "log";
    holder = std::make_unique<std::ifstream>(dir / "work" / "upscale_1.log");
    std::thread let_go([&] { platform::sleep_milliseconds(60), holder.reset(); });
    EXPECT_NO_THROW(platform::remove_tree(dir / "work"));
    let_go.join();
    EXPECT_FALSE(fs::exists(dir / "work"));
}

const fs::path kOutput = fs::temp_directory_path() / "tarkeep-non-inheritable-stdout.txt";

// A child of the next test: our standard output becomes a handle that children cannot
// inherit ("N"), as when a GUI or a service starts the tool.
TEST(ChildHandles, DISABLED_StartedWithANonInheritableStandardOutput) {
    ASSERT_NE(std::freopen(kOutput.string().c_str(), "wN", stdout), nullptr);
    EXPECT_EQ(platform::run_process("cmd.exe /c echo plain", {}), 0);
    EXPECT_EQ(platform::run_process("cmd.exe /c echo logged& echo to log 1>&2", kOutput.string() + ".log"), 0);
}

TEST(ChildHandles, ChildWritesWhereOurNonInheritableStandardOutputGoes) {
    if (platform::has_posix_shell()) GTEST_SKIP() << "handle inheritance is a Windows matter";
    const TempDir dir;
    EXPECT_EQ(platform::run_program_captured(platform::executable_path(),
                                             {"--gtest_also_run_disabled_tests", "--gtest_filter=*DISABLED_Started*"},
                                             dir / "out", dir / "err"),
              0);
    const std::string out = read_text(kOutput);
    EXPECT_TRUE(out.find("plain") != out.npos && out.find("logged") != out.npos) << out;
    EXPECT_EQ(read_text(kOutput.string() + ".log"), "to log \r\n");
}

TEST(LongPaths, EveryProgramDeclaresItselfLongPathAware) {
    if (platform::has_posix_shell()) GTEST_SKIP() << "a Windows resource";
    for (const fs::path& program : {platform::executable_path(), built_program("server/tarkeep_server"),
                                    built_program("tools/upscale/tarkeep_upscale")})
        EXPECT_NE(read_text(program).find("<longPathAware"), std::string::npos) << program;
}

}  // namespace
}  // namespace tarkeep::test
