// Zip archives streamed to a file: read back by the reader, and nothing left behind without commit.
#include <gtest/gtest.h>

#include <fstream>

#include "io/zip_archive.h"
#include "io/zip_file_writer.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::io {
namespace {

TEST(ZipFileWriter, CommittedEntriesReadBackAndAnUncommittedArchiveLeavesTheOldFile) {
    const test::TempDir dir;
    const auto path = dir.path() / "pack.zip";
    std::ofstream(path) << "old";
    const std::vector<std::uint8_t> repetitive(5000, 'a'), tiny{'a', 'b'};
    {
        ZipFileWriter zip(path);
        zip.add(prepare_zip_entry("x", tiny));
    }
    EXPECT_TRUE(std::filesystem::file_size(path) == 3 && !std::filesystem::exists(dir.path() / "pack.zip.tmp"));
    ZipFileWriter zip(path);
    zip.add(prepare_zip_entry("dir/a.bin", repetitive));
    zip.add(prepare_zip_entry("b.txt", tiny));
    zip.commit();
    const ZipArchive archive(path);
    EXPECT_EQ(zip.size(), archive.file_size());
    EXPECT_EQ(archive.entries()[0].method * 10 + archive.entries()[1].method, 80);  // deflated, stored
    EXPECT_TRUE(archive.read("dir/a.bin") == repetitive && archive.read("b.txt") == tiny);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "pack.zip.tmp"));
}

}  // namespace
}  // namespace tarkeep::io
