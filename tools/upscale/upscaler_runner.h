// Starting the outside upscaler: its command line, running it over a folder, its failures.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

#include "tools/upscale/upscaler_config.h"

namespace tarkeep::upscale {

// Every network the runner starts upscales by this factor (its "-s" switch).
inline constexpr std::uint32_t kNetworkScale = 4;

// The network tiling of one batch: the tile size as passed to -t, and test-time
// augmentation (-x), which the NCNN program takes right after it.
struct TileSetting {
    std::string size;
    bool tta = false;
};

// The upscaler's command line (UTF-8) for one batch: the model's program and switches,
// the input and output folders and the tiling.
std::string build_command(const UpscalerConfig& config, const std::string& model,
                          const std::filesystem::path& input_dir, const std::filesystem::path& output_dir,
                          const TileSetting& tile);

// "ONNX" for an ONNX model, "Real-ESRGAN" for an NCNN one: how reports name the upscaler.
const char* upscaler_label(const std::string& model);

// The error text of a finished upscaler run, empty when it succeeded: the exit code, the
// command line and the log lines that mention "failed" or "Traceback".
std::string upscaler_failure(const std::string& model, const std::string& command, int exit_code,
                             const std::filesystem::path& log_path);

// The log lines worth showing: every line containing "failed" or "Traceback", each as
// two blanks, the line and "\n", added while the text is shorter than 2000 characters.
std::string collect_failure_lines(const std::filesystem::path& log_path);

}  // namespace tarkeep::upscale
