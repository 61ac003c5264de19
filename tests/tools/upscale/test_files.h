// Shared helpers of the asset tool tests: files, running the tool, and reading its reports.
#pragma once
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::test {

inline std::string read_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes `text` to `path`, making the folders on the way.
inline void touch(const std::filesystem::path& path, const std::string& text = "x") {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// EXPECT_TRUE(contains(text, part)) shows the whole text when the part is missing.
inline ::testing::AssertionResult contains(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

inline std::size_t lines_starting(const std::string& text, const std::string& prefix) {
    std::size_t count = text.rfind(prefix, 0) == 0;
    for (std::size_t at = 0; (at = text.find("\n" + prefix, at)) != std::string::npos; ++at) ++count;
    return count;
}

// The text with every decimal fraction ("12.5") replaced by '#': timings and sizes vary from
// run to run, so reports are compared whole with only those masked.
// (A scan, not std::regex: libstdc++'s regex trips -Wmaybe-uninitialized in the sanitizer build.)
inline std::string masked(const std::string& text) {
    const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '.' && i + 1 < text.size() && digit(text[i + 1]) && !out.empty() && digit(out.back())) {
            while (!out.empty() && digit(out.back())) out.pop_back();
            for (out += '#'; i + 1 < text.size() && digit(text[i + 1]);) ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// `front`, the words of `text`, then `back`: fixed options written as one text beside paths.
inline std::vector<std::string> words(std::vector<std::string> front, const std::string& text,
                                      const std::vector<std::string>& back = {}) {
    std::istringstream in(text);
    for (std::string word; in >> word;) front.push_back(word);
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

inline ProgramResult run_upscale(const std::vector<std::string>& arguments) {
    return run_program(built_program("tools/upscale/tarkeep_upscale"), arguments);
}
inline std::string ref_upscaler() { return built_program("tools/ref_upscaler/tarkeep_ref_upscaler").string(); }

}  // namespace tarkeep::test
