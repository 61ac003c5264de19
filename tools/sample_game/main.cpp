// tarkeep_sample_game: writes a small synthetic game folder for tests and demos, and reports on it.
#include <chrono>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/cmdline.h"
#include "tools/sample_game/sample_options.h"
#include "tools/sample_game/sample_report.h"

int main(int argc, char** argv) {
    using namespace tarkeep;
    sample_game::SampleCommand command;
    try {
        std::vector<std::string> arguments = platform::utf8_arguments(argc, argv);  // UTF-8 on Windows too
        if (!arguments.empty()) arguments.erase(arguments.begin());
        command = sample_game::parse_sample_command(arguments);
    } catch (const std::invalid_argument& error) {
        std::fprintf(stderr, "error: %s\n%s", error.what(), sample_game::kUsage);
        return 2;
    }
    if (command.help) {
        std::fputs(sample_game::kUsage, stdout);
        return 0;
    }
    try {
        const auto start = std::chrono::steady_clock::now();
        const sample_game::SampleGameSummary summary = sample_game::write_sample_game(command.out_dir, command.options);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        const auto zips = command.out_dir / "zips";
        sample_game::print_sample_report(stdout, zips, command.options, summary, elapsed.count());
        for (const std::string& name : sample_game::foreign_archives(zips, summary)) {
            std::fprintf(stderr, "warning: %s in %s is not part of the sample game; the game's readers open it too\n",
                         name.c_str(), zips.string().c_str());
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        return 1;
    }
    return 0;
}
