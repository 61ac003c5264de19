// Opens arbitrary bytes as a zip archive and reads every entry it lists.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "io/zip_archive.h"

namespace {

const std::filesystem::path& scratch_file() {
    static const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                              ("tarkeep-fuzz-zip-" + std::to_string(std::random_device{}()) + ".zip");
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream file(scratch_file(), std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        const tarkeep::io::ZipArchive archive(scratch_file());
        for (const auto& entry : archive.entries()) {
            try {
                (void)archive.find(entry.name);
                (void)archive.read(entry.name);
            } catch (const tarkeep::io::ZipError&) {}
        }
    } catch (const tarkeep::io::ZipError&) {}
    return 0;
}
