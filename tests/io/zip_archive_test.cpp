#include "io/zip_archive.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <thread>

#include "platform/cmdline.h"
#include "tests/io/deflate_streams.h"
#include "tests/io/zlib_oracle.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_writer.h"

namespace tarkeep::test {
namespace {

using io::ZipArchive;
using io::ZipError;
using Bytes = std::vector<std::uint8_t>;

// The message of the ZipError `action` throws, or "" when it throws nothing.
std::string zip_error(const std::function<void()>& action) {
    try {
        action();
    } catch (const ZipError& e) {
        return e.what();
    }
    return "";
}

class ZipArchiveTest : public ::testing::Test {
protected:
    std::filesystem::path write(const ZipWriter& writer, const std::string& name = "test.zip") {
        const auto path = dir_ / name;
        writer.write(path);
        return path;
    }
    std::filesystem::path write_bytes(const Bytes& bytes, const std::string& name = "test.zip") {
        const auto path = dir_ / name;
        write_file(path, bytes);
        return path;
    }
    static std::string shown(const std::filesystem::path& path) { return platform::path_to_utf8(path); }
    std::string open_error(const std::filesystem::path& path) {
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
    writer.add_deflated("data/table.csv", zlib_deflate_raw(text, 6, Z_DEFAULT_STRATEGY), text);
    writer.add_deflated("data/noise.bin", zlib_deflate_raw(noise, 9, Z_FIXED), noise);
    writer.add_stored("empty", Bytes{});
    const ZipArchive archive(write(writer));

    ASSERT_EQ(archive.entries().size(), 4u);
    EXPECT_EQ(archive.entries()[1].name, "data/table.csv");
    EXPECT_EQ(archive.entries()[1].method, 8);
    EXPECT_EQ(archive.entries()[1].uncompressed_size, text.size());
    EXPECT_EQ(archive.entries()[1].crc32, reference_crc32(text));
    EXPECT_EQ(archive.file_size(), std::filesystem::file_size(archive.path()));

    EXPECT_EQ(archive.read_text("readme.txt"), "hello archive");
    EXPECT_EQ(archive.read("data/table.csv"), text);
    EXPECT_EQ(archive.read("data/noise.bin"), noise);
    EXPECT_EQ(archive.read("empty"), Bytes{});
    EXPECT_EQ(archive.find("data/noise.bin"), 2u);
    EXPECT_EQ(archive.find("Data/noise.bin"), std::nullopt);  // exact, case-sensitive
    EXPECT_EQ(zip_error([&] { archive.read("README.TXT"); }), "no such entry: README.TXT");
}

TEST_F(ZipArchiveTest, DuplicateNamesKeepBothRecordsAndReadTheLater) {
    ZipWriter writer;
    writer.add_stored("same", "first");
    writer.add_stored("other", "x");
    writer.add_stored("same", "second");
    const ZipArchive archive(write(writer));
    ASSERT_EQ(archive.entries().size(), 3u);
    EXPECT_EQ(archive.find("same"), 2u);
    EXPECT_EQ(archive.read_text("same"), "second");
}

TEST_F(ZipArchiveTest, CommentsAndTrailingData) {
    struct Case {
        std::size_t comment;
        std::size_t trailing;
        bool opens;
    };
    for (const Case c : {Case{0, 0, true}, Case{65535, 0, true}, Case{0, 65535, true}, Case{0, 65536, false},
                         Case{100, 65435, true}, Case{100, 65436, false}}) {
        ZipWriter writer;
        writer.add_stored("a", "payload");
        writer.set_comment(Bytes(c.comment, 'c'));
        writer.set_trailing_data(Bytes(c.trailing, 't'));
        const auto path = write(writer);
        if (c.opens) {
            const ZipArchive archive(path);
            EXPECT_EQ(archive.read_text("a"), "payload") << c.comment << "/" << c.trailing;
        } else {
            EXPECT_EQ(open_error(path), "no end of central directory: " + shown(path)) << c.trailing;
        }
    }
}

TEST_F(ZipArchiveTest, TheEndRecordNearestTheEndWins) {
    ZipWriter outer;
    outer.add_stored("outer", "y");
    outer.set_comment(ZipWriter().bytes());  // an end record of an empty archive
    const ZipArchive archive(write(outer));
    EXPECT_TRUE(archive.entries().empty());
}

TEST_F(ZipArchiveTest, SmallestFiles) {
    const auto too_short = write_bytes(Bytes(21, 0), "short.zip");
    EXPECT_EQ(open_error(too_short), "not a zip archive: " + shown(too_short));

    const ZipWriter empty_writer;
    const Bytes empty = empty_writer.bytes();
    ASSERT_EQ(empty.size(), 22u);
    const ZipArchive archive(write_bytes(empty, "empty.zip"));
    EXPECT_TRUE(archive.entries().empty());

    const auto no_record = write_bytes(Bytes(22, 0), "zeros.zip");
    EXPECT_EQ(open_error(no_record), "no end of central directory: " + shown(no_record));

    const auto missing = dir_ / "missing.zip";
    EXPECT_EQ(open_error(missing), "cannot open " + shown(missing));
}

TEST_F(ZipArchiveTest, TruncatedFilesFailToOpen) {
    const Bytes text = mixed_data(random_, 3000);
    ZipWriter writer;
    writer.add_stored("a.txt", "first entry");
    writer.add_deflated("b.bin", zlib_deflate_raw(text, 6, Z_DEFAULT_STRATEGY), text);
    const Bytes whole = writer.bytes();
    for (std::size_t cut = 0; cut < whole.size(); cut += 1 + cut / 16) {
        const auto path = write_bytes(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)));
        const std::string expected = cut < 22 ? "not a zip archive: " : "no end of central directory: ";
        ASSERT_EQ(open_error(path), expected + shown(path)) << cut;
    }
}

TEST_F(ZipArchiveTest, DamagedCentralDirectory) {
    const auto make = [](const std::function<void(ZipWriter&)>& damage) {
        ZipWriter writer;
        writer.add_stored("one", "1");
        writer.add_stored("two", "22");
        damage(writer);
        return writer;
    };
    const std::vector<std::pair<std::function<void(ZipWriter&)>, std::string>> cases = {
        {[](ZipWriter& w) { w.end_record().directory_offset = 0xFFFFFFF0u; }, "bad central directory in "},
        {[](ZipWriter& w) { w.end_record().directory_size = 0xFFFFFFFFu; }, "bad central directory in "},
        {[](ZipWriter& w) { w.end_record().entry_count = 3; }, "bad central directory entry in "},
        {[](ZipWriter& w) { w.end_record().directory_offset = 0; }, "bad central directory entry in "},
        {[](ZipWriter& w) { w.end_record().directory_size = 46 + 3 + 45; }, "bad central directory entry in "},
        {[](ZipWriter& w) { w.end_record().directory_size = 46 + 3 + 46 + 2; }, "bad central directory entry in "},
        {[](ZipWriter& w) { w.end_record().entry_count = 1; }, ""},
        {[](ZipWriter& w) { w.entries()[0].central_extra = Bytes(10, 1); }, ""},
        {[](ZipWriter& w) { w.entries()[0].central_comment = "comment"; }, ""},
    };
    for (const auto& [damage, message] : cases) {
        const auto path = write(make(damage));
        EXPECT_EQ(open_error(path), message.empty() ? "" : message + shown(path));
    }
}

TEST_F(ZipArchiveTest, DamagedEntries) {
    const Bytes text = mixed_data(random_, 5000);
    const Bytes deflated = zlib_deflate_raw(text, 6, Z_DEFAULT_STRATEGY);
    using Damage = std::function<void(ZipWriterEntry&)>;
    const std::vector<std::pair<Damage, std::string>> cases = {
        {[](ZipWriterEntry& e) { e.crc32 ^= 1; }, "size/CRC mismatch: "},
        {[](ZipWriterEntry& e) { e.uncompressed_size += 1; }, "size/CRC mismatch: "},
        {[](ZipWriterEntry& e) { e.uncompressed_size -= 1; }, "size/CRC mismatch: "},
        {[](ZipWriterEntry& e) { e.compressed_size -= 1; }, "inflate: unexpected end of data"},
        {[](ZipWriterEntry& e) { e.compressed_size = 0xFFFFFFFFu; }, "entry exceeds archive: "},
        {[](ZipWriterEntry& e) { e.local_header_offset = 0xFFFFFFF0u; }, "bad local header: "},
        {[](ZipWriterEntry& e) { e.local_header_offset = 1; }, "bad local header: "},
        {[](ZipWriterEntry& e) { e.method = 12; }, "unsupported compression method 12: "},
        {[](ZipWriterEntry& e) { e.payload[0] |= 0x06; }, "inflate: invalid block type"},
        // The local header's own name and extra lengths place the data.
        {[](ZipWriterEntry& e) { e.local_extra = Bytes(7, 0xEE); }, ""},
        {[](ZipWriterEntry& e) { e.local_name = "a much longer local name"; }, ""},
    };
    for (const auto& [damage, message] : cases) {
        ZipWriter writer;
        writer.add_stored("first", "ok");
        damage(writer.add_deflated("victim", deflated, text));
        const std::string expected = message.empty() || message.starts_with("inflate") ? message : message + "victim";
        EXPECT_EQ(read_error(writer, "victim"), expected);
        EXPECT_EQ(read_error(writer, "first"), "");  // the rest of the archive stays readable
    }
}

TEST_F(ZipArchiveTest, AnEntryThatExpandsFarBeyondItsSizeIsRefusedEarly) {
    // About 250 MB of output from a 100 kB stream, declared as 1000 bytes.
    const Bytes bomb = expanding_stream(1'000'000);
    ZipWriter writer;
    ZipWriterEntry& entry = writer.add_deflated("bomb", bomb, Bytes(1000, 'a'));
    ASSERT_EQ(entry.uncompressed_size, 1000u);
    EXPECT_EQ(read_error(writer, "bomb"), "size/CRC mismatch: bomb");
}

TEST_F(ZipArchiveTest, ReadingReopensTheFile) {
    ZipWriter writer;
    writer.add_stored("a", "abc");
    const auto path = write(writer);
    const ZipArchive archive(path);
    std::filesystem::remove(path);
    EXPECT_EQ(zip_error([&] { archive.read("a"); }), "cannot open " + shown(path));
}

TEST_F(ZipArchiveTest, ConcurrentReadsOfOneArchive) {
    ZipWriter writer;
    std::vector<Bytes> contents;
    for (int i = 0; i < 8; ++i) {
        contents.push_back(mixed_data(random_, 20000));
        writer.add_deflated("entry" + std::to_string(i), zlib_deflate_raw(contents.back(), 6, Z_DEFAULT_STRATEGY),
                            contents.back());
    }
    const ZipArchive archive(write(writer));
    std::vector<int> good(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round)
                for (int i = 0; i < 8; ++i) good[t] += archive.read("entry" + std::to_string(i)) == contents[i];
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(good, std::vector<int>(4, 40));
}

// Archives made by other programs, when they are installed.
TEST_F(ZipArchiveTest, ReadsArchivesWrittenByPythonZipfile) {
    if (std::system("python3 -c pass > /dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is not available";
    const auto path = dir_ / "python.zip";
    const std::string script =
        "import sys, zipfile\n"
        "data = bytes((i * 7 + i // 300) % 256 for i in range(100000))\n"
        "text = ('unit = tank\\n' * 3000).encode()\n"
        "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
        "    z.writestr('stored.bin', data, compress_type=zipfile.ZIP_STORED)\n"
        "    for level in (1, 6, 9):\n"
        "        z.writestr(zipfile.ZipInfo('deflated%d.txt' % level), text, compress_type=zipfile.ZIP_DEFLATED,\n"
        "                   compresslevel=level)\n"
        "    z.writestr('dir/data.bin', data, compress_type=zipfile.ZIP_DEFLATED)\n"
        "    z.writestr('empty', b'')\n"
        "    z.comment = b'made by python'\n";
    const auto script_path = dir_ / "make_zip.py";
    write_file(script_path, bytes_of(script));
    ASSERT_EQ(std::system(("python3 '" + script_path.string() + "' '" + path.string() + "'").c_str()), 0);

    Bytes data(100000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>((i * 7 + i / 300) % 256);
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "unit = tank\n";

    const ZipArchive archive(path);
    ASSERT_EQ(archive.entries().size(), 6u);
    EXPECT_EQ(archive.read("stored.bin"), data);
    EXPECT_EQ(archive.read("dir/data.bin"), data);
    for (int level : {1, 6, 9}) EXPECT_EQ(archive.read_text("deflated" + std::to_string(level) + ".txt"), text);
    EXPECT_EQ(archive.read("empty"), Bytes{});
}

TEST_F(ZipArchiveTest, ReadsArchivesWrittenByTheZipProgram) {
    if (std::system("zip -v > /dev/null 2>&1") != 0) GTEST_SKIP() << "zip is not available";
    const Bytes text = mixed_data(random_, 200000);
    std::filesystem::create_directories(dir_ / "src" / "sub");
    write_file(dir_ / "src" / "sub" / "text.dat", text);
    write_file(dir_ / "src" / "small.txt", bytes_of("small"));
    const auto path = dir_ / "tool.zip";
    const std::string command = "cd '" + (dir_ / "src").string() + "' && zip -q -r -9 '" + path.string() +
                                "' sub small.txt && zip -q -0 '" + path.string() + "' -z < /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const ZipArchive archive(path);
    EXPECT_EQ(archive.read("sub/text.dat"), text);
    EXPECT_EQ(archive.read_text("small.txt"), "small");
}

}  // namespace
}  // namespace tarkeep::test
