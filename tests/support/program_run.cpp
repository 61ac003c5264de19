#include "tests/support/program_run.h"

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/shell.h"

namespace tarkeep::test {
namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::filesystem::path unique_capture_base() {
    static std::atomic<unsigned> counter{0};
    static const unsigned process_tag = std::random_device{}();
    return std::filesystem::temp_directory_path() /
           ("tarkeep_run_" + std::to_string(process_tag) + "_" + std::to_string(counter++));
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
    const auto base = unique_capture_base();
    auto out_path = base;
    out_path += ".out";
    auto err_path = base;
    err_path += ".err";
    ProgramResult result;
    result.exit_code = platform::run_program_captured(program, arguments, out_path, err_path);
    result.out = with_plain_line_ends(slurp(out_path));
    result.err = with_plain_line_ends(slurp(err_path));
    std::error_code ignored;
    std::filesystem::remove(out_path, ignored);
    std::filesystem::remove(err_path, ignored);
    return result;
}

}  // namespace tarkeep::test
