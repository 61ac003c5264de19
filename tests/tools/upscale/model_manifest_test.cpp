#include "tools/upscale/model_manifest.h"

#include <gtest/gtest.h>

#include "tests/tools/upscale/test_files.h"

namespace tarkeep::upscale {
namespace {

using namespace test;

// Writing it, and refusing a terrain cache, are checked by the model pipeline runs.
TEST(ModelManifest, ReadsOnlyItsOwnVersionAndSkipsShortLines) {
    TempDir dir;
    const auto path = dir / "manifest.txt";
    touch(path, "tarkeep-model-hd 2\na h m s 1 1 1\n");
    EXPECT_TRUE(read_model_manifest(path).empty());
    touch(path, "tarkeep-model-hd 1\r\na h m s 1 1 1\r\nshort h m s 1 1\n");
    EXPECT_EQ(read_model_manifest(path).size(), 1u);
}

}  // namespace
}  // namespace tarkeep::upscale
