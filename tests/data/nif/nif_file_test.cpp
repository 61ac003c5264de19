// The file frame: header line, versions, type table, separators, footer, references.
#include "tests/support/allocation_counter.h"
#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

const std::string kHeader = "Gamebryo File Format, Version 10.1.0.0\n";

// Header, version 10.1.0.0, user version, then `blocks` blocks of the given type names
// with no data yet.
HandBytes frame(const std::vector<std::string>& types, const std::vector<std::uint16_t>& index) {
    HandBytes file;
    file.text(kHeader).u32(0x0A010000).u32(7).u32(static_cast<std::uint32_t>(index.size()));
    file.u16(static_cast<std::uint16_t>(types.size()));
    for (const auto& type : types) file.str(type);
    for (const auto i : index) file.u16(i);
    file.u32(0);  // header_list
    return file;
}

NifFile two_extra_data_blocks() {
    NifFile file = make_nif_file();
    NiFloatExtraData first;
    NiIntegerExtraData second;
    std::tie(first.name, first.value, second.name, second.value) = std::tuple("f", 2.5f, "i", 7);
    add_nif_block(file, "NiFloatExtraData", first);
    add_nif_block(file, "NiIntegerExtraData", second);
    file.roots = {0};
    return file;
}

TEST(NifFile, EmptyAndWrittenFilesKeepTheirPartsAndStrayBytesNameTheBlockBefore) {
    HandBytes empty;
    empty.text(kHeader).u32(0x0A010000).u32(7).u32(0).u16(0).u32(2).u32(11).u32(12).u32(0);
    const NifFile empty_file = read_nif(empty.bytes);
    EXPECT_EQ(
        std::tuple(empty_file.header, empty_file.version, empty_file.user_version, empty_file.header_list),
        std::tuple("Gamebryo File Format, Version 10.1.0.0", 0x0A010000u, 7u, std::vector<std::uint32_t>{11, 12}));
    EXPECT_TRUE(empty_file.blocks.empty() && empty_file.block_types.empty() && empty_file.roots.empty());
    NifFile written = two_extra_data_blocks();
    written.roots = {1, 0};
    written.header_list = {5};
    const NifWriteLayout layout = write_nif_layout(written);
    const NifFile read = read_nif(layout.bytes);
    EXPECT_EQ(read.roots, (std::vector<std::uint32_t>{1, 0}));
    EXPECT_EQ(read.header_list, (std::vector<std::uint32_t>{5}));
    EXPECT_EQ(read.block_types, (std::vector<std::string>{"NiFloatExtraData", "NiIntegerExtraData"}));
    // Each block knows its type name, index and data offset.
    const auto& second = dynamic_cast<const NiIntegerExtraData&>(*read.blocks[1]);
    EXPECT_EQ(std::tuple(second.type_name, second.block_index, second.offset, second.value),
              std::tuple("NiIntegerExtraData", 1u, layout.block_offsets[1], 7u));
    const NifWriteLayout two = write_nif_layout(two_extra_data_blocks());
    // Four bytes the reader of block 0 does not consume: the same as a reader that reads
    // four bytes too few.
    auto bytes = two.bytes;
    const std::uint8_t stray[] = {1, 2, 3, 4};
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(two.block_ends[0]), stray, stray + 4);
    EXPECT_EQ(nif_error_of(bytes),
              "block 1 NiIntegerExtraData: separator != 0 -> previous block NiFloatExtraData misparsed");

    auto first = two.bytes;
    first[two.block_offsets[0] - 4] = 9;
    EXPECT_EQ(nif_error_of(first), "block 0 NiFloatExtraData: separator != 0 -> previous block - misparsed");

    // After the last block the stray bytes are read as the footer, and the real footer
    // (root count and one root) is left over.
    auto last = two.bytes;
    const std::uint8_t zeros[] = {0, 0, 0, 0};
    last.insert(last.begin() + static_cast<std::ptrdiff_t>(two.block_ends[1]), zeros, zeros + 4);
    EXPECT_EQ(nif_error_of(last), "8 bytes left after footer: a field layout is wrong");

    auto trailing = two.bytes;
    trailing.push_back(0);
    EXPECT_EQ(nif_error_of(trailing), "1 bytes left after footer: a field layout is wrong");
}

TEST(NifFile, FrameErrorsTruncationsHostileCountsWrappedReaderErrorsAndTypeNames) {
    // Frames that fail before any block byte is read: a reader that read one would fail with "read past end".
    const std::pair<HandBytes, const char*> cases[] = {
        {HandBytes().text("Gamebryo File Format, Version 10.1.0.0").u32(0x01020304), "no header line"},
        {HandBytes().text(kHeader).u32(0xABCDEF12), "unsupported NIF version 0xABCDEF12"},
        {frame({"NiNode"}, {1}), "block type index out of range"},
        {frame({"ninode"}, {0}), "block 0: ninode not supported"},  // names match exactly, letter case included
        {frame({"NiFloatExtraData", "NiPathController"}, {0, 1}).u32(0).str("f").f32(1),
         "block 1: NiPathController not supported"}};
    for (const auto& [bytes, message] : cases) EXPECT_EQ(nif_error_of(bytes.bytes), message);
    // 60,000 two-byte indices naming one 16 KB type name: one copy per block would be 1 GB.
    const std::string long_name(16384, 'x');
    const HandBytes bytes = frame({long_name}, std::vector<std::uint16_t>(60000, 0));
    std::string error;
    const std::size_t allocated = bytes_allocated_by([&] { error = nif_error_of(bytes.bytes); });
    EXPECT_EQ(error, "block 0: " + long_name + " not supported");
    EXPECT_LT(allocated, 16 * bytes.bytes.size());
    // Truncated frames, and hostile counts that fail on the bounds check: (file, bytes short of its end).
    const HandBytes start = HandBytes().text(kHeader).u32(0x0A010000).u32(0);
    const std::pair<HandBytes, std::size_t> truncations[] = {
        {HandBytes().text(kHeader), 0},
        {frame({}, {}), 0},                                          // no root count
        {HandBytes(start).u32(0xFFFFFFFF).u16(1).str("NiNode"), 0},  // four billion blocks
        {HandBytes(start).u32(0).u16(0xFFFF), 0},                    // types
        {HandBytes(start).u32(0).u16(0).u32(0x3FFFFFFF), 0},         // header list
        {frame({}, {}).u32(0xFFFFFFFF).u32(0), 4}                    // roots
    };
    for (const auto& [bytes, short_by] : truncations)
        EXPECT_EQ(nif_error_of(bytes.bytes), "read past end at " + std::to_string(bytes.size() - short_by));
    // Reader errors are wrapped with the block type and offset.
    std::size_t offset = 0;
    HandBytes cut;
    cut.str("name").u32(10).text("short");
    auto file_bytes = hand_file_with_block("NiStringExtraData", cut.bytes, &offset);
    file_bytes.resize(offset + cut.size());  // drop the footer too
    EXPECT_EQ(nif_error_of(file_bytes), "block 0 NiStringExtraData at " + std::to_string(offset) +
                                            ": read past end at " + std::to_string(offset + 12));

    // Strings of up to 100,000 bytes are read; one more is refused before it is read.
    for (const std::uint32_t length : {100000u, 100001u}) {
        file_bytes =
            hand_file_with_block("NiStringExtraData", HandBytes().str("").str(std::string(length, 'x')).bytes, &offset);
        EXPECT_EQ(nif_error_of(file_bytes),
                  length == 100000 ? "no error"
                                   : "block 0 NiStringExtraData at " + std::to_string(offset) +
                                         ": implausible string length 100001 at " + std::to_string(offset + 4));
    }
    // Every registered type name finds its reader.
    for (const NifBlockType& type : nif_block_types())
        EXPECT_EQ(find_nif_block_reader(type.name), type.reader) << type.name;
}

// One case per checked reference field (a field checked in a base class once), in a file of five blocks.
TEST(NifFile, ReferencesMustBeMinusOneOrABlockIndex) {
    const std::tuple<const char*, const char*, void (*)(NifFile&, NifRef)> cases[] = {
        {"1", "extra_data", [](NifFile& f, NifRef v) { nif_block<NiNode>(f, 1).extra_data.push_back(v); }},
        {"1", "controller", [](NifFile& f, NifRef v) { nif_block<NiNode>(f, 1).controller = v; }},
        {"1", "children", [](NifFile& f, NifRef v) { nif_block<NiNode>(f, 1).children.push_back(v); }},
        {"2", "lod_data", [](NifFile& f, NifRef v) { nif_block<NiLODNode>(f, 2).lod_data = v; }},
        {"3", "bones", [](NifFile& f, NifRef v) { nif_block<NiSkinInstance>(f, 3).bones.push_back(v); }},
        {"4", "text_keys", [](NifFile& f, NifRef v) { nif_block<NiControllerSequence>(f, 4).text_keys = v; }}};
    NiNode node;  // the lists start with valid references: every item is checked, not only the first
    node.extra_data = {0};
    node.children = {-1};
    NiSkinInstance skin;
    skin.bones = {0};
    for (const auto& [index, field, set] : cases) {
        for (const NifRef value : {-2, 5, 4}) {
            NifFile file = make_nif_file();
            add_nif_block(file, "NiFloatExtraData", NiFloatExtraData{});
            add_nif_block(file, "NiNode", node);
            add_nif_block(file, "NiLODNode", NiLODNode{});
            add_nif_block(file, "NiSkinInstance", skin);
            add_nif_block(file, "NiControllerSequence", NiControllerSequence{});
            set(file, value);
            EXPECT_EQ(nif_error_of(write_nif(file)), value == 4 ? std::string("no error")
                                                                : std::string("block ") + index + " " + field + " -> " +
                                                                      std::to_string(value) + " out of range")
                << field << " " << value;
        }
    }
}

}  // namespace
}  // namespace tarkeep::test
