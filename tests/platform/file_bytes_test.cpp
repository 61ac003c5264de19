// Whole files: the atomic write under failures (missing or unwritable folder, failed rename,
// partial write), stale temporaries, and plain reads and writes that name the path.
#include "platform/file_bytes.h"

#include <gtest/gtest.h>

#include "platform/cmdline.h"
#include "tests/data/error_text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text_bytes.h"
#include "tests/tools/upscale/test_files.h"

namespace tarkeep::platform {
namespace {
namespace fs = std::filesystem;
using test::bytes_of;
using test::read_text;

TEST(WriteFileAtomic, ReplacesTheFileOrReportsAMissingFolderOrAFailedRenameAndKeepsTheTarget) {
    test::TempDir dir;
    const fs::path path = dir / "manifest.txt";
    write_file_atomic(path, bytes_of("old"));
    write_file_atomic(path, bytes_of("new contents"));
    EXPECT_EQ(read_text(path), "new contents");
    EXPECT_FALSE(fs::exists(dir / "manifest.txt.tmp"));
    write_file_atomic(path, {});
    EXPECT_EQ(fs::file_size(path), 0u);
    // A missing folder fails like a read-only one: the temporary cannot be opened.
    const fs::path absent = dir / "absent" / "a.png";
    EXPECT_EQ(test::error_text([&] { write_file_atomic(absent, bytes_of("x")); }),
              "cannot write " + path_to_utf8(absent) + ".tmp");
    EXPECT_FALSE(fs::exists(dir / "absent"));

    // A folder where the file should go: everything works up to the rename, which fails.
    const fs::path folder = dir / "cache.png";
    test::touch(folder / "keep", "kept");
    try {
        write_file_atomic(folder, bytes_of("new"));
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
    write_file_atomic(path, bytes_of("previous"));
    std::error_code ec;
    fs::create_symlink("/dev/full", dir / "a.png.tmp", ec);
    if (ec) GTEST_SKIP() << "cannot make a symbolic link: " << ec.message();
    EXPECT_EQ(test::error_text([&] { write_file_atomic(path, std::vector<std::uint8_t>(100000, 7)); }),
              "write failed: " + path_to_utf8(path) + ".tmp");
    EXPECT_EQ(read_text(path), "previous");
    EXPECT_FALSE(fs::is_symlink(dir / "a.png.tmp"));
}

TEST(RemoveStaleTemporaries, RemovesOnlyTheFolderOwnTmpFiles) {
    test::TempDir dir;
    for (const char* name : {"a.png.tmp", "manifest.txt.tmp", "a.png", "tmp", "sub/b.png.tmp"}) test::touch(dir / name);
    remove_stale_temporaries(dir.path());
    remove_stale_temporaries(dir / "absent");
    for (const char* gone : {"a.png.tmp", "manifest.txt.tmp"}) EXPECT_FALSE(fs::exists(dir / gone)) << gone;
    for (const char* kept : {"a.png", "tmp", "sub/b.png.tmp"}) EXPECT_TRUE(fs::exists(dir / kept)) << kept;
}

TEST(WholeFiles, WriteThenReadGivesTheBytesAndFailuresNameThePath) {
    test::TempDir dir;
    const fs::path path = dir / path_from_utf8("d\u00e9j\u00e0.bin");
    write_file(path, bytes_of("first, longer"));
    write_file(path, bytes_of("second"));
    EXPECT_EQ(read_file(path), bytes_of("second"));
    write_file(path, {});
    EXPECT_TRUE(read_file(path).empty());

    const fs::path absent = dir / "absent" / "a.bin";
    EXPECT_EQ(test::error_text([&] { write_file(absent, bytes_of("x")); }), "cannot write " + path_to_utf8(absent));
    // A folder opens like a file on some systems and only fails when read.
    for (const fs::path& unreadable : {absent, dir.path()}) {
        EXPECT_EQ(test::error_text([&] { read_file(unreadable); }), "cannot read " + path_to_utf8(unreadable));
    }
}

}  // namespace
}  // namespace tarkeep::platform
