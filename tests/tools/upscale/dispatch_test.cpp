// The command line as a user types it: which command runs, and the mistakes that stop it
// before anything is read or written.
#include <gtest/gtest.h>

#include "data/text_lines.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/args.h"
#include "tools/upscale/dispatch.h"
#include "tools/upscale/help_text.h"
#include "tools/upscale/option_table.h"

namespace tarkeep::upscale {
namespace {

using test::words;

// Whole runs reach each command; these rows are the precedence between them.
TEST(SelectCommand, TheFirstGivenCommandWinsAndTwoPositionalsAloneAreTerrain) {
    const std::pair<const char*, Command> cases[] = {{"--seam --montage --tile2 a b c --list", Command::seam},
                                                     {"--montage --tile2 a b c", Command::montage},
                                                     {"--tile2 a b", Command::tile2},
                                                     {"g --models-list --list", Command::models_list},
                                                     {"g --model-orig out", Command::model_orig},
                                                     {"--models-glb a b c", Command::models_glb},
                                                     {"g c --models-estimate --models-build", Command::models_estimate},
                                                     {"g c --model-get tex --models-build", Command::model_get},
                                                     {"g c --models-build --ui-build", Command::models_build},
                                                     {"g --ui-orig out --ui-list", Command::ui_orig},
                                                     {"g --ui-list --list", Command::ui_list},
                                                     {"g --list --orig out", Command::list},
                                                     {"g c --force", Command::terrain},
                                                     {"g", Command::usage},
                                                     {"g c d", Command::usage}};
    for (const auto& [text, expected] : cases) {
        const auto arguments = words({"tarkeep_upscale"}, text);
        EXPECT_EQ(select_command(parse_args(static_cast<int>(arguments.size()), arguments)), expected) << text;
    }
}

// Each mistake ends with status 2 and these lines on standard error, and nothing is written.
TEST(CommandLineMistakes, StopWithTheirOwnMessageAndStatusTwo) {
    const test::TempDir dir;
    const std::string game = (dir / "game").string(), cache = (dir / "cache").string();
    const std::string missing_exe = (dir / "no" / "upscaler").string();
    const std::string hint = "run with --help for every command and option\n";
    const struct {
        std::string words, err;
    } cases[] = {
        {"--froce", "error: unknown option --froce\ndid you mean --force?\n"},
        {"--anim", "error: unknown option --anim\ndid you mean --anims?\n"},
        {"--modle lanczos3", "error: unknown option --modle\ndid you mean --model?\n"},
        {"--nothing-like-it", "error: unknown option --nothing-like-it\n"},
        {"--margin abc", "error: bad value for --margin: abc\n"},
        {"--margin 12x", "error: bad value for --margin: 12x\n"},
        {"--max-size 4294967296", "error: bad value for --max-size: 4294967296\n"},
        {"--min-size -1", "error: bad value for --min-size: -1\n"},
        {"--dering -2", "error: bad value for --dering: -2\n"},
        {"--onnx-tile -1", "error: bad value for --onnx-tile: -1\n"},
        {"--save-every inf", "error: bad value for --save-every: inf\n"},
        {"--exe", "error: --exe needs a value\n"},
        {"--exe " + missing_exe, "upscaler program not found: " + missing_exe + "\n"},
        {"--list", "usage: <Morv dir> --list\n" + hint},
        {"--models-glb",
         "usage: <Morv dir> <cache dir> <model variant> <out.glb> --models-glb [--colour X] [--max-size N]\n" + hint},
        {"--ui-orig out", "usage: <Morv dir> --ui-orig <dir> --only stem...\n" + hint},
        {"--model-orig out", "usage: <Morv dir> --model-orig <dir> --only stem... [--bilinear k]\n" + hint},
    };
    for (const auto& c : cases) {
        const auto run = test::run_upscale(words({game, cache}, c.words));
        EXPECT_EQ(std::tuple(run.exit_code, run.out, run.err), std::tuple(2, "", c.err)) << c.words;
    }
    const auto usage = test::run_upscale({game});
    EXPECT_EQ(std::tuple(usage.exit_code, usage.err), std::tuple(2, std::string(kUsageText) + hint));
    // The PNG commands' usage lines, with a PNG too few.
    const std::pair<std::vector<std::string>, std::string> png_commands[] = {
        {{"--tile2", "out.png", "in.png"}, "usage: --tile2 <out.png> <png> <size>\n"},
        {{"--montage", "m.png", "0", "0", "8"}, "usage: --montage <out.png> <x> <y> <size> <png>...\n"},
        {{"--ui-montage", "u.png", "0", "0", "8", "8", "4"},
         "usage: --ui-montage <out.png> <x> <y> <w> <h> <zoom> <png>...\n"}};
    for (const auto& [arguments, line] : png_commands) EXPECT_EQ(test::run_upscale(arguments).err, line + hint);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(Help, GoesToStandardOutputWithStatusZeroAndNamesEveryOption) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--help"}, {"-h"}, {"game", "cache", "--froce", "--help"}}) {
        const auto run = test::run_upscale(arguments);
        EXPECT_EQ(std::tuple(run.exit_code, run.out, run.err), std::tuple(0, std::string(kHelpText), ""));
    }
    // Each option as a whole word: "--tile" is not found in "--tile-max".
    const auto names = [](const std::string& text, std::string_view name) {
        for (std::size_t at = 0; (at = text.find(name, at)) != std::string::npos; ++at) {
            const char next = at + name.size() < text.size() ? text[at + name.size()] : ' ';
            if (next != '-' && !std::isalnum(static_cast<unsigned char>(next))) return true;
        }
        return false;
    };
    for (const OptionRule& rule : option_rules())
        EXPECT_TRUE(names(kHelpText, rule.name) || rule.name == "--table") << rule.name;  // --table: read by none
    // The command pages show the page as it is, indented as a block.
    std::string indented;
    for (const std::string_view line : data::split_lines(kHelpText))
        indented += line.empty() ? "\n" : "    " + std::string(line) + "\n";
    EXPECT_TRUE(test::contains(test::read_text(TARKEEP_SOURCE_DIR "/docs/upscale.md"), indented));
}

}  // namespace
}  // namespace tarkeep::upscale
