#include "tests/support/program_run.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

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
    // Wine has been seen to refuse a process start now and then under load; a child that
    // never started has done nothing, so starting it again is safe.
    for (int attempt = 0; attempt < 3; ++attempt) {
        result.exit_code = platform::run_program_captured(program, arguments, out_path, err_path);
        if (result.exit_code != -1) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    result.out = with_plain_line_ends(slurp(out_path));
    result.err = with_plain_line_ends(slurp(err_path));
    if (result.exit_code == -1) result.err += "(test harness: " + program.string() + " could not be started)\n";
    return result;
}

}  // namespace tarkeep::test
