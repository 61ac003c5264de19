// The seed corpora: one for every fuzz target, small, and made of inputs that their
// readers accept (a seed that fails early would start the fuzzer in shallow water).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

#include "data/csv_table.h"
#include "data/ddf_parser.h"
#include "data/nif/nif_file.h"
#include "data/texture/pcpatch.h"
#include "data/texture/texcache.h"
#include "data/texture/texture_image.h"
#include "fuzz/seeds/seed_corpus.h"
#include "fuzz/support/nif_frame.h"
#include "fuzz/support/sample_model.h"
#include "image/png.h"
#include "image/png_error.h"
#include "io/inflate.h"
#include "io/zip_archive.h"
#include "io/zip_writer.h"
#include "net/message_codec.h"
#include "platform/file_bytes.h"
#include "tests/support/reference_inflate.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes after(const Bytes& bytes, std::size_t skip) { return Bytes(bytes.begin() + std::ptrdiff_t(skip), bytes.end()); }

// The fixed 78-byte texture prefix the pcpatch and texcache targets put before their input.
Bytes with_prefix(const Bytes& body) {
    Bytes file(78, 0);
    const std::string header = "Gamebryo File Format, Version 10.1.0.0\n";
    std::copy(header.begin(), header.end(), file.begin());
    const std::string type = "NiPixelData";
    std::copy(type.begin(), type.end(), file.begin() + 57);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

// Each target's reader, run the way the target runs it; fails the test when it rejects.
const std::map<std::string, std::function<void(const Seed&)>>& accepts() {
    static const std::map<std::string, std::function<void(const Seed&)>> checks = {
        {"decode_message",
         [](const Seed& s) { EXPECT_EQ(net::encode_message(net::decode_message(s.bytes)), s.bytes); }},
        {"decode_png",
         [](const Seed& s) {
             Bytes file = after(s.bytes, 1);
             if (s.bytes[0] == 1) file.insert(file.begin(), {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A});
             if (s.bytes[0] == 2) {
                 EXPECT_EQ(file.size(), 2 + std::size_t(file[1]) * (4 * file[0] + 1));
             } else if (s.name.starts_with("interlaced")) {
                 EXPECT_THROW(image::decode_png(file), image::PngError);
             } else {
                 EXPECT_GT(image::decode_png(file).pixels.size(), 0u);
             }
         }},
        {"export_model",
         [](const Seed& s) {
             EXPECT_EQ(s.name.starts_with("whole"), !(s.bytes[0] & 1));
             if (s.bytes[0] & 1) return;
             const std::size_t split = 2 + (s.bytes.size() - 2) * s.bytes[1] / 256;
             const Bytes model(s.bytes.begin() + 2, s.bytes.begin() + std::ptrdiff_t(split));
             if (s.name.starts_with("whole_deep")) {  // a tree of its own, hundreds of levels deep
                 EXPECT_GT(data::read_nif(model).blocks.size(), 500u);
                 return;
             }
             EXPECT_EQ(model, built_model());
             if (s.bytes[0] & 16) {
                 const Bytes kf = after(s.bytes, split);
                 EXPECT_EQ(Bytes(kf.begin(), kf.begin() + std::ptrdiff_t(built_kf().size())), built_kf());
             }
         }},
        {"inflate",
         [](const Seed& s) {
             const std::size_t selector = s.bytes[0] | s.bytes[1] << 8;
             const std::size_t limit = selector == 0xFFFF ? SIZE_MAX : selector * 64;
             const Bytes stream = after(s.bytes, 2), whole = test::reference_inflate(stream);
             EXPECT_EQ(io::inflate(stream), whole);
             EXPECT_EQ(io::inflate(stream, selector, limit).size() > limit, s.name.ends_with("over_limit"));
         }},
        {"parse_ddf",
         [](const Seed& s) {
             std::vector<std::string> warnings;
             EXPECT_FALSE(
                 data::parse_ddf({reinterpret_cast<const char*>(s.bytes.data()), s.bytes.size()}, "s", &warnings)
                     .empty());
             EXPECT_EQ(warnings.size(), s.name.starts_with("unclosed") ? 1u : 0u);
         }},
        {"pcpatch",
         [](const Seed& s) {
             const std::size_t split = s.bytes[0] | s.bytes[1] << 8;
             const Bytes texture = with_prefix(Bytes(s.bytes.begin() + 2, s.bytes.begin() + 2 + std::ptrdiff_t(split)));
             const Bytes patched = data::apply_pcpatch(texture, with_prefix(after(s.bytes, 2 + split)));
             EXPECT_EQ(patched == Bytes(texture.end() - std::ptrdiff_t(patched.size()) - 8, texture.end() - 8),
                       s.name == "no_runs");
         }},
        {"read_csv_table",
         [](const Seed& s) {
             EXPECT_GE(
                 data::read_csv_table({reinterpret_cast<const char*>(s.bytes.data()), s.bytes.size()}).rows.size(), 2u);
         }},
        {"read_nif",
         [](const Seed& s) {
             const Bytes file = s.bytes[0] & 1 ? framed_nif(s.bytes.data(), s.bytes.size()) : after(s.bytes, 1);
             EXPECT_FALSE(data::read_nif(file).blocks.empty());
         }},
        {"texcache",
         [](const Seed& s) {
             const Bytes file = s.bytes[0] & 1 ? with_prefix(after(s.bytes, 1)) : after(s.bytes, 1);
             EXPECT_GT(data::texture_to_rgba(file).pixels.size(), 0u);
         }},
        {"zip_archive",
         [](const Seed& s) {
             const test::TempDir dir;
             const auto path = dir.path() / "seed.zip";
             platform::write_file(path, s.bytes);
             const io::ZipArchive archive(path);
             EXPECT_EQ(archive.entries().empty(), s.name == "empty.zip");
             for (const auto& entry : archive.entries()) EXPECT_NO_THROW(archive.read(entry.name)) << entry.name;
         }},
    };
    return checks;
}

TEST(SeedCorpus, EveryTargetHasSmallDistinctSeeds) {
    const SeedCorpora corpora = seed_corpora();
    std::set<std::string> targets;
    for (const auto& file : std::filesystem::directory_iterator(TARKEEP_SOURCE_DIR "/fuzz")) {
        if (file.path().extension() == ".cpp") targets.insert(file.path().stem().string());
    }
    ASSERT_EQ(targets.size(), corpora.size());
    for (const auto& target : targets) {
        ASSERT_TRUE(corpora.contains(target)) << target;
        const auto& seeds = corpora.at(target);
        EXPECT_GE(seeds.size(), 4u) << target;
        std::set<std::string> names;
        for (const auto& seed : seeds) {
            EXPECT_TRUE(names.insert(seed.name).second) << target << "/" << seed.name;
            EXPECT_LT(seed.bytes.size(), 64u * 1024) << target << "/" << seed.name;
        }
    }
}

TEST(SeedCorpus, EverySeedIsAcceptedByItsReader) {
    for (const auto& [target, seeds] : seed_corpora()) {
        ASSERT_TRUE(accepts().contains(target)) << target;
        for (const auto& seed : seeds) {
            SCOPED_TRACE(target + "/" + seed.name);
            ASSERT_FALSE(seed.bytes.empty());
            EXPECT_NO_THROW(accepts().at(target)(seed));
        }
    }
}

// The variety the seeds exist for: every message kind, every decodable texture format,
// every row filter, both zip methods and most NIF block types.
TEST(SeedCorpus, CoversEveryKindOfInput) {
    const SeedCorpora corpora = seed_corpora();
    std::set<std::uint32_t> messages, formats, filters, methods;
    std::set<std::string> block_types;
    for (const auto& s : corpora.at("decode_message")) messages.insert(s.bytes[0]);
    EXPECT_EQ(messages, std::set<std::uint32_t>(std::begin(net::kMessageTypeCodes), std::end(net::kMessageTypeCodes)));
    for (const auto& s : corpora.at("texcache")) {
        formats.insert(data::read_texcache(s.bytes[0] & 1 ? with_prefix(after(s.bytes, 1)) : after(s.bytes, 1)).format);
    }
    EXPECT_EQ(formats, (std::set<std::uint32_t>{0, 1, 4, 5, 6}));
    for (const auto& s : corpora.at("decode_png")) {
        for (std::size_t at = 3; s.bytes[0] == 2 && at < s.bytes.size(); at += 4 * s.bytes[1] + 1)
            filters.insert(s.bytes[at]);
    }
    EXPECT_EQ(filters, (std::set<std::uint32_t>{0, 1, 2, 3, 4}));
    const test::TempDir dir;
    for (const auto& s : corpora.at("zip_archive")) {
        platform::write_file(dir.path() / s.name, s.bytes);
        const io::ZipArchive archive(dir.path() / s.name);  // kept alive: the loop reads its entries
        for (const auto& entry : archive.entries()) methods.insert(entry.method);
    }
    EXPECT_EQ(methods, (std::set<std::uint32_t>{0, 8}));
    for (const auto& s : corpora.at("read_nif")) {
        const auto file =
            data::read_nif(s.bytes[0] & 1 ? framed_nif(s.bytes.data(), s.bytes.size()) : after(s.bytes, 1));
        block_types.insert(file.block_types.begin(), file.block_types.end());
    }
    EXPECT_GE(block_types.size(), 25u);
}

}  // namespace
}  // namespace tarkeep::fuzz
