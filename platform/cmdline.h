// UTF-8 everywhere: the program's arguments and conversions between UTF-8 text and native paths.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarkeep::platform {

// The program's arguments as UTF-8 strings, program name first. POSIX passes argv
// through; Windows reads the wide command line and converts it (falling back to the C
// runtime's argv if that fails).
std::vector<std::string> utf8_arguments(int argc, char** argv);

// UTF-8 text <-> native path. Never goes through a legacy code page.
std::filesystem::path path_from_utf8(std::string_view utf8);
std::string path_to_utf8(const std::filesystem::path& path);

}  // namespace tarkeep::platform
