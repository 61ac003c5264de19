// Running built programs with captured output and plain line ends, and finding files of the build tree.
#include "tests/support/program_run.h"

#include <fstream>
#include <sstream>

#include "platform/shell.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::test {
namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A Windows program's text-mode streams end lines with CR LF; tests compare text.
std::string with_plain_line_ends(std::string text) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        text[kept++] = text[i];
    }
    text.resize(kept);
    return text;
}

}  // namespace

std::filesystem::path built_program(const std::string& relative) {
    return std::filesystem::path(TARKEEP_BINARY_DIR) / (relative + TARKEEP_EXE_SUFFIX);
}

std::filesystem::path built_file(const std::string& relative) {
    return std::filesystem::path(TARKEEP_BINARY_DIR) / relative;
}

ProgramResult run_program(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
    // A folder of its own per run: capture files can never be shared by two test processes.
    const TempDir capture;
    const auto out_path = capture / "out";
    const auto err_path = capture / "err";
    ProgramResult result;
    // A start refused by the system (seen under Wine) is retried by the Windows CI leg,
    // which reruns the whole test; here it only has to say so.
    result.exit_code = platform::run_program_captured(program, arguments, out_path, err_path);
    result.out = with_plain_line_ends(slurp(out_path));
    result.err = with_plain_line_ends(slurp(err_path));
    if (result.exit_code == -1) result.err += "(test harness: " + program.string() + " could not be started)\n";
    return result;
}

}  // namespace tarkeep::test
