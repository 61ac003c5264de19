// Seeds for inflate (stored, fixed and dynamic Huffman blocks, with and without an output
// limit) and for zip archives (stored, deflated, folder entries, extra fields, comments).
#include "fuzz/seeds/seed_corpus.h"
#include "io/deflate.h"
#include "tests/support/reference_inflate.h"
#include "io/zip_writer.h"

namespace tarkeep::fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes sample_text() {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "UnitModel Archer" + std::to_string(i % 7) + " { Scale = 1.5f; }\n";
    return text_bytes(text);
}

Bytes sample_binary() {
    Bytes bytes;
    for (unsigned i = 0; i < 3000; ++i) bytes.push_back(std::uint8_t((i * i) >> 3 ^ i));
    return bytes;
}

// Two stored blocks, the first not final.
Bytes stored_blocks(const Bytes& data) {
    Bytes out;
    const std::size_t half = data.size() / 2;
    for (int block = 0; block < 2; ++block) {
        const std::size_t from = block ? half : 0, n = (block ? data.size() : half) - from;
        out.insert(out.end(), {std::uint8_t(block), std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(~n),
                               std::uint8_t(~n >> 8)});
        out.insert(out.end(), data.begin() + std::ptrdiff_t(from), data.begin() + std::ptrdiff_t(from + n));
    }
    return out;
}

// One fixed-Huffman block: "abc", a copy of length 10 at distance 3, then high literals.
Bytes fixed_block() {
    test::DeflateBitWriter out;
    out.bits(1, 1);
    out.bits(1, 2);
    for (char c : std::string("abc")) out.code(0x30 + std::uint32_t(c), 8);
    out.code(264 - 256, 7);  // length 10
    out.code(2, 5);          // distance 3
    for (std::uint32_t literal : {200u, 255u}) out.code(0x190 + literal - 144, 9);
    out.code(0, 7);  // end of block
    return out.finish();
}

Seed inflate_seed(std::string name, std::uint16_t selector, const Bytes& stream) {
    Seed seed{std::move(name), {std::uint8_t(selector), std::uint8_t(selector >> 8)}};
    seed.bytes.insert(seed.bytes.end(), stream.begin(), stream.end());
    return seed;
}

}  // namespace

std::vector<Seed> inflate_seeds() {
    const Bytes text = sample_text(), binary = sample_binary();
    return {inflate_seed("dynamic_text", 0xFFFF, io::deflate_compress(text)),
            inflate_seed("dynamic_binary", 100, io::deflate_compress(binary)),
            inflate_seed("dynamic_over_limit", 4, io::deflate_compress(text)),
            inflate_seed("stored", 0xFFFF, stored_blocks(binary)),
            inflate_seed("stored_over_limit", 1, stored_blocks(text)),
            inflate_seed("fixed", 0xFFFF, fixed_block())};
}

std::vector<Seed> zip_seeds() {
    const Bytes text = sample_text(), binary = sample_binary();
    std::vector<Seed> seeds;
    io::ZipWriter mixed;
    mixed.add_stored("DB/", "");
    mixed.add_stored("DB/units.ddf", std::string(text.begin(), text.end()));
    mixed.add_deflated("DB/art.bin", io::deflate_compress(binary), binary);
    mixed.add_deflated("DB/Terrain/fixed.txt", fixed_block(), test::reference_inflate(fixed_block()));
    seeds.push_back({"stored_and_deflated.zip", mixed.bytes()});

    io::ZipWriter extras;
    auto& entry = extras.add_deflated("notes.txt", io::deflate_compress(text), text);
    entry.local_extra = {0x55, 0x54, 0x05, 0x00, 0x01, 0x10, 0x20, 0x30, 0x40};
    entry.central_extra = {0x55, 0x54, 0x01, 0x00, 0x01};
    entry.central_comment = "entry comment";
    extras.add_stored("empty.txt", "");
    extras.set_comment("archive comment");
    seeds.push_back({"extras_and_comments.zip", extras.bytes()});

    io::ZipWriter stored;
    stored.add_stored("a.csv", "// a, b\n1, 2\n");
    stored.add_stored("b/c.csv", "x\n");
    seeds.push_back({"stored_only.zip", stored.bytes()});
    seeds.push_back({"empty.zip", io::ZipWriter().bytes()});
    return seeds;
}

}  // namespace tarkeep::fuzz
