#include <cstdio>
#include <string>
#include <vector>

#include "tools/relay_load/load_options.h"
#include "tools/relay_load/load_run.h"

int main(int argc, char** argv) {
    using namespace tarkeep::relay_load;
    const ParsedLoadOptions parsed = parse_load_options(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.status == OptionsStatus::help) {
        std::fputs(LOAD_USAGE, stdout);
        return 0;
    }
    if (parsed.status == OptionsStatus::usage) {
        std::fprintf(stderr, "%s\n%s", parsed.error.c_str(), LOAD_USAGE);
        return 2;
    }
    const LoadReport report = run_load(parsed.options, [](const std::string& text) {
        std::fprintf(stderr, "%s\n", text.c_str());
    });
    const std::string text = format_report(parsed.options, report);
    std::fputs(text.c_str(), report.ok ? stdout : stderr);
    return report.ok ? 0 : 1;
}
