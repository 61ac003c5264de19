// Arguments and paths on POSIX, where both are already UTF-8 bytes.
#include "platform/cmdline.h"

namespace tarkeep::platform {

std::vector<std::string> utf8_arguments(int argc, char** argv) {
    // POSIX arguments are bytes; the game and our users hand us UTF-8.
    return std::vector<std::string>(argv, argv + argc);
}

std::filesystem::path path_from_utf8(std::string_view utf8) { return std::filesystem::path(std::string(utf8)); }

std::string path_to_utf8(const std::filesystem::path& path) { return path.string(); }

}  // namespace tarkeep::platform
