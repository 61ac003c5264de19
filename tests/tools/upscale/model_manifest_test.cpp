#include "tools/upscale/model_manifest.h"

#include <gtest/gtest.h>

#include "tests/tools/upscale/test_files.h"

namespace tarkeep::upscale {
namespace {

using namespace test;

// Plain records, and refusing a terrain cache, are checked by the model pipeline runs.
TEST(ModelManifest, EscapesBlanksReadsOnlyItsOwnVersionAndSkipsShortLines) {
    TempDir dir;
    const auto path = dir / "manifest.txt";
    const ModelManifest model = {{"a b%20\x01", {"0123456789abcdef", "onnx:my model", "s 1", 2, 4, 2}}};
    write_model_manifest(path, model);
    EXPECT_TRUE(contains(read_text(path), "\na%20b%2520%01 0123456789abcdef onnx:my%20model s%201 2 4 2\n"));
    EXPECT_EQ(read_model_manifest(path), model);
    touch(path, "tarkeep-model-hd 2\na h m s 1 1 1\n");
    EXPECT_TRUE(read_model_manifest(path).empty());
    touch(path, "tarkeep-model-hd 1\r\na h m s 1 1 1\r\nshort h m s 1 1\nold%zz% h m s 1 1 1\n");
    const ModelManifest read = read_model_manifest(path);
    EXPECT_TRUE(read.size() == 2 && read.count("old%zz%")) << read.size();  // not an escape: read as written
}

}  // namespace
}  // namespace tarkeep::upscale
