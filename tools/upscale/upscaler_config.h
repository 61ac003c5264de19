// The outside upscaler's configuration: program, model folders and settings, and model lookup.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/upscale/args.h"

namespace tarkeep::upscale {

// The outside upscaler: its program, model folders and settings, built once per command.
struct UpscalerConfig {
    std::filesystem::path exe;
    std::vector<std::filesystem::path> model_dirs;
    std::filesystem::path python;
    std::filesystem::path onnx_runner;
    std::vector<std::filesystem::path> onnx_model_dirs;
    std::string onnx_provider = "dml";
    std::uint32_t onnx_tile = 512;
    std::string gpu;
    std::string threads;
};

// Reads the upscaler options; the defaults that depend on the installation are looked
// for beside the running program.
UpscalerConfig make_upscaler_config(const Args& args);
// The same with the program's folder given, so that the lookups can be pointed elsewhere.
UpscalerConfig make_upscaler_config(const Args& args, const std::filesystem::path& program_dir);

// "onnx:" followed by the model file's stem names an ONNX model; anything else is NCNN.
bool is_onnx_model(const std::string& model);

// The first model folder holding <model>.param and <model>.bin, or an empty path.
std::filesystem::path find_ncnn_model(const UpscalerConfig& config, const std::string& model);
// The <stem>.onnx file in an ONNX model folder or one of its immediate subfolders, or an
// empty path.
std::filesystem::path find_onnx_model(const UpscalerConfig& config, const std::string& model);

// Why a model name cannot be used, empty when it can. A name with white space or a
// double quote would split on the upscaler's command line and in the cache manifests.
std::string check_model_name(const std::string& model);

// Why the model cannot run (its name, the programs and files it needs), empty when it can.
std::string check_model(const UpscalerConfig& config, const std::string& model);

// "-ot" and the ONNX tile size when any of the models is an ONNX model, else empty.
std::string upscaler_settings_suffix(const UpscalerConfig& config, const std::vector<std::string>& models);

}  // namespace tarkeep::upscale
