#include <gtest/gtest.h>

#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/args.h"
#include "tools/upscale/dispatch.h"

namespace tarkeep::upscale {
namespace {

using test::words;

// Whole runs reach each command; these rows are the precedence between them.
TEST(SelectCommand, TheFirstMatchingCommandWins) {
    const std::pair<const char*, Command> cases[] = {{"--seam --montage --tile2 a b c --list", Command::seam},
                                                     {"--montage --tile2 a b c", Command::montage},
                                                     {"--tile2 a b c", Command::tile2},
                                                     {"--tile2 a b", Command::terrain},
                                                     {"--tile2 a --list", Command::list},
                                                     {"g --models-list --list", Command::models_list},
                                                     {"g --model-orig out", Command::model_orig},
                                                     {"--models-glb a b c", Command::models_glb},
                                                     {"g c --models-estimate --models-build", Command::models_estimate},
                                                     {"g c --model-get tex --models-build", Command::model_get},
                                                     {"g c --models-build --ui-build", Command::models_build},
                                                     {"g --ui-orig out --ui-list", Command::ui_orig},
                                                     {"g --ui-list --list", Command::ui_list},
                                                     {"g --list --orig out", Command::list},
                                                     {"g c --models-list", Command::terrain},
                                                     {"--work --force game --orig", Command::usage},
                                                     {"g", Command::usage},
                                                     {"g c d", Command::usage}};
    for (const auto& [text, expected] : cases) {
        const auto arguments = words({"tarkeep_upscale"}, text);
        EXPECT_EQ(select_command(parse_args(static_cast<int>(arguments.size()), arguments)), expected) << text;
    }
}

TEST(SelectCommand, NoArgumentsPrintUsageAndExitTwo) {
    const auto result = test::run_upscale({});
    EXPECT_TRUE(result.exit_code == 2 && result.out.empty() && result.err.rfind("usage: ", 0) == 0) << result.err;
}

}  // namespace
}  // namespace tarkeep::upscale
