// Running whole built programs from tests and reading what they printed and returned.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace tarkeep::test {

// What a whole program printed and returned.
struct ProgramResult {
    int exit_code = -1;
    std::string out;
    std::string err;
};

// Path of a program built in this build tree, e.g. built_program("tools/upscale/tarkeep_upscale")
// (".exe" is added where programs have it).
std::filesystem::path built_program(const std::string& relative);
// Path of any other file of the build tree.
std::filesystem::path built_file(const std::string& relative);

// Runs `program` with `arguments` (passed unchanged, no shell), standard input empty,
// capturing both output streams (CR LF line ends read as LF, as a Windows program's
// text-mode output has them).
ProgramResult run_program(const std::filesystem::path& program, const std::vector<std::string>& arguments);

}  // namespace tarkeep::test
