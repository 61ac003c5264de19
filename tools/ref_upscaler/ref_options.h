// The command line of the reference upscaler: the NCNN upscaler's switches.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace tarkeep::ref_upscaler {

// The switches of the outside NCNN upscaler that the asset tool writes.
struct RefOptions {
    std::filesystem::path input;      // -i: folder (or one PNG file)
    std::filesystem::path output;     // -o: folder (or one PNG file)
    std::string model = "lanczos3";   // -n
    int scale = 4;                    // -s
    std::filesystem::path model_dir;  // -m: default "models" beside the program
    std::string format = "png";       // -f
    std::string tile = "0";           // -t: accepted; the whole image is one tile here
    std::string gpu;                  // -g: accepted and ignored (CPU only)
    std::string threads;              // -j: accepted and ignored (worker threads are automatic)
    bool tta = false;                 // -x: accepted and ignored
    bool help = false;
};

// Parses argv[1..]; throws std::runtime_error naming the bad switch.
RefOptions parse_ref_options(const std::vector<std::string>& args);

// The --help text.
const char* ref_usage();

}  // namespace tarkeep::ref_upscaler
