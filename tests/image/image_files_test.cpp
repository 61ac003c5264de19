// The atomic file write under failures: missing folder, failed rename, partial write, read-only folder.
#include <gtest/gtest.h>

#include <fstream>

#include "image/image_files.h"
#include "io/file_bytes.h"
#include "platform/cmdline.h"
#include "tests/data/error_text.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/upscale/test_files.h"

namespace tarkeep::upscale {
namespace {
namespace fs = std::filesystem;
using io::bytes_of;
using test::read_text;

TEST(WriteFileAtomic, ReplacesTheFileOrReportsAMissingFolderOrAFailedRenameAndKeepsTheTarget) {
    test::TempDir dir;
    const fs::path path = dir / "manifest.txt";
    image::write_file_atomic(path, bytes_of("old"));
    image::write_file_atomic(path, bytes_of("new contents"));
    EXPECT_EQ(read_text(path), "new contents");
    EXPECT_FALSE(fs::exists(dir / "manifest.txt.tmp"));
    image::write_file_atomic(path, {});
    EXPECT_EQ(fs::file_size(path), 0u);
    const fs::path absent = dir / "absent" / "a.png";
    EXPECT_EQ(test::error_text([&] { image::write_file_atomic(absent, bytes_of("x")); }),
              "cannot write " + platform::path_to_utf8(absent) + ".tmp");
    EXPECT_FALSE(fs::exists(dir / "absent"));

    // A folder where the file should go: everything works up to the rename, which fails.
    const fs::path folder = dir / "cache.png";
    test::touch(folder / "keep", "kept");
    try {
        image::write_file_atomic(folder, bytes_of("new"));
        FAIL() << "no error";
    } catch (const fs::filesystem_error& e) {
        EXPECT_NE(std::string(e.what()).find("rename"), std::string::npos) << e.what();
        EXPECT_EQ(e.path2(), folder);
    }
    EXPECT_EQ(read_text(folder / "keep"), "kept");
}

TEST(WriteFileAtomic, WriteFailingPartWayKeepsThePreviousFile) {
    // The temporary name points at a device that refuses every write (no space left).
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    test::TempDir dir;
    const fs::path path = dir / "a.png";
    image::write_file_atomic(path, bytes_of("previous"));
    std::error_code ec;
    fs::create_symlink("/dev/full", dir / "a.png.tmp", ec);
    if (ec) GTEST_SKIP() << "cannot make a symbolic link: " << ec.message();
    EXPECT_EQ(test::error_text([&] { image::write_file_atomic(path, std::vector<std::uint8_t>(100000, 7)); }),
              "write failed: " + platform::path_to_utf8(path) + ".tmp");
    EXPECT_EQ(read_text(path), "previous");
    EXPECT_FALSE(fs::is_symlink(dir / "a.png.tmp"));
}

TEST(WriteFileAtomic, ReadOnlyFolderKeepsThePreviousFile) {
    test::TempDir dir;
    const fs::path folder = dir / "ro";
    fs::create_directory(folder);
    image::write_file_atomic(folder / "a.txt", bytes_of("previous"));
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    if (std::ofstream(folder / "probe")) {
        fs::permissions(folder, fs::perms::owner_all);
        GTEST_SKIP() << "running with privileges that ignore folder permissions";
    }
    const std::string error = test::error_text([&] { image::write_file_atomic(folder / "a.txt", bytes_of("new")); });
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_EQ(error, "cannot write " + platform::path_to_utf8(folder / "a.txt") + ".tmp");
    EXPECT_EQ(read_text(folder / "a.txt"), "previous");
}

}  // namespace
}  // namespace tarkeep::upscale
