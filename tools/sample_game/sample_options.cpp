// The sample game program's usage text and command line parsing.
#include "tools/sample_game/sample_options.h"

#include <charconv>
#include <stdexcept>

#include "platform/cmdline.h"

namespace tarkeep::sample_game {

const char* const kUsage =
    "usage: tarkeep_sample_game <out dir> [--size small|medium|large] [--seed N]\n"
    "Writes a synthetic game installation: <out dir>/zips with db.zip (terrain and sprite\n"
    "tables, unit definitions) and archives of terrain, model and UI textures, player-colour\n"
    "masks and patches, models and animations. The same size and seed give the same bytes.\n"
    "  --size   small (6 terrain textures of 64-128 px, the default), medium (24 of 256-512 px)\n"
    "           or large (60 of 256-1024 px)\n"
    "  --seed   unsigned number that varies the generated images (default 1)\n"
    "  --help   this text\n";

namespace {

std::uint64_t parse_seed(const std::string& text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        throw std::invalid_argument("--seed needs an unsigned number, got '" + text + "'");
    }
    return value;
}

}  // namespace

SampleCommand parse_sample_command(const std::vector<std::string>& arguments) {
    SampleCommand command;
    bool have_dir = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            command.help = true;
            return command;
        }
        if (argument == "--size" || argument == "--seed") {
            if (i + 1 >= arguments.size()) throw std::invalid_argument(argument + " needs a value");
            const std::string& value = arguments[++i];
            if (argument == "--seed") {
                command.options.seed = parse_seed(value);
            } else if (const auto size = sample_game::parse_sample_size(value)) {
                command.options.size = *size;
            } else {
                throw std::invalid_argument("--size must be small, medium or large, got '" + value + "'");
            }
        } else if (argument.starts_with("--")) {
            throw std::invalid_argument("unknown option " + argument);
        } else if (have_dir) {
            throw std::invalid_argument("more than one output folder: " + argument);
        } else {
            command.out_dir = platform::path_from_utf8(argument);
            have_dir = true;
        }
    }
    if (!have_dir) throw std::invalid_argument("missing <out dir>");
    return command;
}

}  // namespace tarkeep::sample_game
