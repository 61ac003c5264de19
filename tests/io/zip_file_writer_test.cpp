// Zip archives streamed to a file: read back by the reader, and nothing left behind without commit.
#include <gtest/gtest.h>

#include <fstream>

#include "io/zip_archive.h"
#include "io/zip_file_writer.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::io {
namespace {

std::vector<std::uint8_t> bytes_of(const std::string& text) { return {text.begin(), text.end()}; }

TEST(ZipFileWriter, EntriesReadBackStoredOrDeflatedWhicheverIsSmaller) {
    const test::TempDir dir;
    const auto path = dir.path() / "pack.zip";
    const std::vector<std::uint8_t> repetitive(5000, 'a'), tiny = bytes_of("ab"), empty;
    {
        ZipFileWriter zip(path);
        for (const auto& [name, data] : {std::pair{"dir/a.bin", repetitive}, {"b.txt", tiny}, {"c", empty}})
            zip.add(prepare_zip_entry(name, data));
        zip.commit();
        EXPECT_EQ(zip.size(), std::filesystem::file_size(path));
    }
    const ZipArchive archive(path);
    ASSERT_EQ(archive.entries().size(), 3u);
    EXPECT_EQ(archive.entries()[0].method, 8);
    EXPECT_EQ(archive.entries()[1].method, 0);
    EXPECT_EQ(archive.read("dir/a.bin"), repetitive);
    EXPECT_EQ(archive.read("b.txt"), tiny);
    EXPECT_TRUE(archive.read("c").empty());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "pack.zip.tmp"));
}

TEST(ZipFileWriter, WithoutCommitTheOldArchiveStaysAndTheTemporaryFileGoes) {
    const test::TempDir dir;
    const auto path = dir.path() / "pack.zip";
    std::ofstream(path) << "old";
    {
        ZipFileWriter zip(path);
        zip.add(prepare_zip_entry("x", bytes_of("new")));
    }
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "pack.zip.tmp"));
}

}  // namespace
}  // namespace tarkeep::io
