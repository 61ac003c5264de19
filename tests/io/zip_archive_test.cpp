// The zip reader: stored and deflated entries, damaged and truncated archives, concurrent reads,
// and an archive written by the zip program.
#include "io/zip_archive.h"
#include "platform/file_bytes.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <random>
#include <thread>

#include "io/zip_writer.h"
#include "platform/cmdline.h"
#include "tests/data/error_text.h"
#include "tests/io/stream_fixtures.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text_bytes.h"

namespace tarkeep::test {
namespace {

using io::ZipArchive;
using io::ZipWriter;
using io::ZipWriterEntry;
using platform::write_file;
using Bytes = std::vector<std::uint8_t>;

// The message of the ZipError `action` throws, or "no error".
std::string zip_error(const std::function<void()>& action) { return error_text<io::ZipError>(action); }

Bytes deflated(const Bytes& data) { return zlib_deflate_raw(data, 6, Z_DEFAULT_STRATEGY); }

class ZipArchiveTest : public ::testing::Test {
protected:
    std::filesystem::path write(const Bytes& bytes, const std::string& name = "test.zip") {
        write_file(dir_ / name, bytes);
        return dir_ / name;
    }
    std::filesystem::path write(const ZipWriter& writer) { return write(writer.bytes()); }
    static std::string shown(const std::filesystem::path& path) { return platform::path_to_utf8(path); }
    static std::string open_error(const std::filesystem::path& path) {
        return zip_error([&] { ZipArchive archive(path); });
    }
    std::string read_error(const ZipWriter& writer, const std::string& entry) {
        const ZipArchive archive(write(writer));
        return zip_error([&] { archive.read(entry); });
    }

    TempDir dir_;
    std::mt19937 random_{2024};
};

TEST_F(ZipArchiveTest, ReadsStoredAndDeflatedEntries) {
    const Bytes text = mixed_data(random_, 20000);
    const Bytes noise = random_bytes(random_, 3000);
    ZipWriter writer;
    writer.add_stored("readme.txt", "hello archive");
    writer.add_deflated("data/table.csv", deflated(text), text);
    writer.add_deflated("data/noise.bin", zlib_deflate_raw(noise, 9, Z_FIXED), noise);
    writer.add_stored("same", "first");
    writer.add_stored("empty", Bytes{});
    writer.add_stored("same", "second");  // both records are kept; the later one is read
    const ZipArchive archive(write(writer));
    ASSERT_EQ(archive.entries().size(), 6u);
    const io::ZipEntry& table = archive.entries()[1];
    EXPECT_EQ(std::tie(table.name, table.method, table.uncompressed_size, table.crc32),
              std::tuple("data/table.csv", 8, text.size(), std::uint32_t(::crc32(0, text.data(), uInt(text.size())))));
    EXPECT_EQ(archive.read_text("readme.txt"), "hello archive");
    EXPECT_EQ(archive.read("data/table.csv"), text);
    EXPECT_EQ(archive.read("data/noise.bin"), noise);
    EXPECT_EQ(archive.read("empty"), Bytes{});
    EXPECT_EQ(archive.read_text("same"), "second");
    EXPECT_EQ(std::tuple(archive.find("same"), archive.find("data/noise.bin"), archive.find("Data/noise.bin")),
              std::tuple(5u, 2u, std::nullopt));  // exact, case-sensitive
}

// Two entries, "one" and "two", then each row's change: the error of opening the archive
// and reading "two", or "" when both work.
TEST_F(ZipArchiveTest, EndRecordCommentsAndCentralDirectory) {
    const std::string in_zip = shown(dir_ / "test.zip");
    const auto comment_and_trailing = [](std::size_t comment, std::size_t trailing) {
        return [=](ZipWriter& w) {
            w.set_comment(Bytes(comment, 'c'));
            w.set_trailing_data(Bytes(trailing, 't'));
        };
    };
    const std::pair<std::function<void(ZipWriter&)>, std::string> cases[] = {
        {comment_and_trailing(65535, 0), "no error"},
        {comment_and_trailing(0, 65535), "no error"},
        {comment_and_trailing(0, 65536), "no end of central directory: " + in_zip},
        {comment_and_trailing(100, 65435), "no error"},
        {comment_and_trailing(100, 65436), "no end of central directory: " + in_zip},
        {[](ZipWriter& w) { w.entries().clear(); }, "no such entry: two"},
        // The end record nearest the end wins: here an empty archive's, in the comment.
        {[](ZipWriter& w) { w.set_comment(ZipWriter().bytes()); }, "no such entry: two"},
        {[](ZipWriter& w) { w.end_record().directory_offset = 0xFFFFFFF0u; }, "bad central directory in " + in_zip},
        {[](ZipWriter& w) { w.end_record().directory_size = 0xFFFFFFFFu; }, "bad central directory in " + in_zip},
        {[](ZipWriter& w) { w.end_record().entry_count = 3; }, "bad central directory entry in " + in_zip},
        {[](ZipWriter& w) { w.end_record().directory_offset = 0; }, "bad central directory entry in " + in_zip},
        {[](ZipWriter& w) { w.end_record().directory_size = 46 + 3 + 45; }, "bad central directory entry in " + in_zip},
        {[](ZipWriter& w) { w.end_record().directory_size = 46 + 3 + 46 + 2; },
         "bad central directory entry in " + in_zip},
        {[](ZipWriter& w) { w.end_record().entry_count = 1; }, "no such entry: two"},
        {[](ZipWriter& w) { w.entries()[0].central_extra = Bytes(10, 1); }, "no error"},
        {[](ZipWriter& w) { w.entries()[0].central_comment = "comment"; }, "no error"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ZipWriter writer;
        writer.add_stored("one", "1");
        writer.add_stored("two", "22");
        cases[i].first(writer);
        const auto path = write(writer);
        EXPECT_EQ(zip_error([&] { EXPECT_EQ(ZipArchive(path).read_text("two"), "22"); }), cases[i].second) << i;
    }
}

TEST_F(ZipArchiveTest, TruncatedAndMissingFiles) {
    const Bytes text = mixed_data(random_, 3000);
    ZipWriter writer;
    writer.add_stored("a.txt", "first entry");
    writer.add_deflated("b.bin", deflated(text), text);
    const Bytes whole = writer.bytes();
    for (std::size_t cut = 0; cut < whole.size(); cut += 1 + cut / 16) {
        const auto path = write(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)));
        const std::string expected = cut < 22 ? "not a zip archive: " : "no end of central directory: ";
        ASSERT_EQ(open_error(path), expected + shown(path)) << cut;
    }
    EXPECT_EQ(open_error(dir_ / "missing.zip"), "cannot open " + shown(dir_ / "missing.zip"));
    // The file is opened again for each read.
    const ZipArchive archive(write(whole));
    std::filesystem::remove(archive.path());
    EXPECT_EQ(zip_error([&] { archive.read("a.txt"); }), "cannot open " + shown(archive.path()));
}

TEST_F(ZipArchiveTest, DamagedEntries) {
    const Bytes text = mixed_data(random_, 5000);
    using Damage = std::function<void(ZipWriterEntry&)>;
    const std::pair<Damage, std::string> cases[] = {
        {[](ZipWriterEntry& e) { e.crc32 ^= 1; }, "size/CRC mismatch: victim"},
        {[](ZipWriterEntry& e) { e.uncompressed_size += 1; }, "size/CRC mismatch: victim"},
        {[](ZipWriterEntry& e) { e.uncompressed_size -= 1; }, "size/CRC mismatch: victim"},
        {[](ZipWriterEntry& e) { e.compressed_size -= 1; }, "inflate: unexpected end of data"},
        {[](ZipWriterEntry& e) { e.compressed_size = 0xFFFFFFFFu; }, "entry exceeds archive: victim"},
        // Past the archive's end by less than the file's size: 125 bytes of directory follow.
        {[](ZipWriterEntry& e) { e.compressed_size += 160; }, "entry exceeds archive: victim"},
        {[](ZipWriterEntry& e) { e.local_header_offset = 0xFFFFFFF0u; }, "bad local header: victim"},
        {[](ZipWriterEntry& e) { e.local_header_offset = 1; }, "bad local header: victim"},
        {[](ZipWriterEntry& e) { e.method = 12; }, "unsupported compression method 12: victim"},
        {[](ZipWriterEntry& e) { e.payload[0] |= 0x06; }, "inflate: invalid block type"},
        {[](ZipWriterEntry& e) {
             e.payload = expanding_stream(1'000'000);  // about 250 MB from 100 kB, stopped early
             e.compressed_size = std::uint32_t(e.payload.size());
         },
         "size/CRC mismatch: victim"},
        // The local header's own name and extra lengths place the data.
        {[](ZipWriterEntry& e) { e.local_extra = Bytes(7, 0xEE); }, "no error"},
        {[](ZipWriterEntry& e) { e.local_name = "a much longer local name"; }, "no error"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ZipWriter writer;
        writer.add_stored("first", "ok");
        cases[i].first(writer.add_deflated("victim", deflated(text), text));
        EXPECT_EQ(read_error(writer, "victim"), cases[i].second) << "case " << i;
        EXPECT_EQ(read_error(writer, "first"), "no error") << "case " << i;  // the rest stays readable
    }
}

TEST_F(ZipArchiveTest, ConcurrentReadsOfOneArchive) {
    ZipWriter writer;
    std::vector<Bytes> contents(8);
    for (std::size_t i = 0; i < 8; ++i) {
        contents[i] = mixed_data(random_, 20000);
        writer.add_deflated("entry" + std::to_string(i), deflated(contents[i]), contents[i]);
    }
    const ZipArchive archive(write(writer));
    std::atomic<int> good = 0;
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                for (std::size_t k = 0; k < 40; ++k)
                    good += archive.read("entry" + std::to_string(k % 8)) == contents[k % 8];
            });
    }
    EXPECT_EQ(good, 4 * 40);
}

// An archive made by the zip program: its own deflate coder, a folder entry, extra fields
// and an archive comment. Python's zipfile would add nothing: it deflates with zlib, as
// the fixtures above do.
TEST_F(ZipArchiveTest, ReadsAnArchiveWrittenByTheZipProgram) {
    if (std::system("zip -v > /dev/null 2>&1") != 0) GTEST_SKIP() << "the zip program is not available";
    const Bytes data = mixed_data(random_, 200000);
    std::filesystem::create_directories(dir_ / "sub");
    write(data, "sub/data.bin");
    write(bytes_of("a short note\n"), "note.txt");
    const std::string in_dir = "cd '" + dir_.path().string() + "' && ";
    ASSERT_EQ(std::system((in_dir + "zip -q -r -9 tool.zip sub note.txt && zip -q tool.zip -z < /dev/null").c_str()),
              0);
    const ZipArchive archive(dir_ / "tool.zip");
    EXPECT_EQ(archive.read("sub/data.bin"), data);
    EXPECT_EQ(archive.read_text("note.txt"), "a short note\n");
    EXPECT_EQ(archive.read("sub/"), Bytes{});
}

}  // namespace
}  // namespace tarkeep::test
