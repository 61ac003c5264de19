// Building the upscaler configuration from the options and finding and checking models.
#include "tools/upscale/upscaler_config.h"

#include <system_error>

#include "platform/cmdline.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tools/upscale/numbers.h"

namespace tarkeep::upscale {
namespace fs = std::filesystem;
namespace {

const std::string kOnnxPrefix = "onnx:";

std::vector<fs::path> paths_of(const Args& args, std::string_view option) {
    std::vector<fs::path> paths;
    for (const auto& value : args.list(option)) paths.push_back(platform::path_from_utf8(value));
    return paths;
}

// An absent file is simply not a candidate; a failing test (other than "not found")
// raises the standard file-system error.
bool file_exists(const fs::path& path) { return platform::path_exists(path); }

bool is_white_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

UpscalerConfig make_upscaler_config(const Args& args) {
    return make_upscaler_config(args, platform::executable_path().parent_path());
}

UpscalerConfig make_upscaler_config(const Args& args, const fs::path& program_dir) {
    UpscalerConfig config;
    config.exe = args.path_value("--exe");
    config.model_dirs = paths_of(args, "--models");
    if (config.model_dirs.empty() && !config.exe.empty())
        config.model_dirs.push_back(config.exe.parent_path() / "models");

    if (args.has_value("--python")) {
        config.python = args.path_value("--python");
    } else if (!program_dir.empty()) {
        const fs::path venv = platform::venv_python(program_dir / "onnx_venv");
        if (file_exists(venv)) config.python = fs::absolute(venv);
    }

    if (args.has_value("--onnx-runner")) {
        config.onnx_runner = args.path_value("--onnx-runner");
    } else if (!program_dir.empty()) {
        for (const fs::path& candidate :
             {program_dir / "onnx_upscale.py", program_dir / ".." / ".." / "tools" / "onnx_upscale.py"}) {
            if (file_exists(candidate)) {
                config.onnx_runner = fs::absolute(candidate);
                break;
            }
        }
    }

    config.onnx_model_dirs = paths_of(args, "--onnx-models");
    config.onnx_provider = opt(args, "--onnx-provider", "dml");
    config.onnx_tile = size_value(args, "--onnx-tile", "512");
    config.gpu = opt(args, "--gpu", "");
    config.threads = opt(args, "--threads", "");
    return config;
}

bool is_onnx_model(const std::string& model) {
    return model.size() >= kOnnxPrefix.size() && model.compare(0, kOnnxPrefix.size(), kOnnxPrefix) == 0;
}

fs::path find_ncnn_model(const UpscalerConfig& config, const std::string& model) {
    for (const fs::path& folder : config.model_dirs) {
        if (file_exists(folder / platform::path_from_utf8(model + ".param")) &&
            file_exists(folder / platform::path_from_utf8(model + ".bin")))
            return folder;
    }
    return {};
}

fs::path find_onnx_model(const UpscalerConfig& config, const std::string& model) {
    const fs::path file = platform::path_from_utf8(model.substr(kOnnxPrefix.size()) + ".onnx");
    for (const fs::path& folder : config.onnx_model_dirs) {
        if (file_exists(folder / file)) return folder / file;
        std::error_code ec;
        for (const platform::FolderEntry& entry : platform::list_folder(folder, ec)) {
            if (entry.kind != platform::PathKind::folder) continue;
            if (file_exists(entry.path / file)) return entry.path / file;
        }
    }
    return {};
}

std::string check_model_name(const std::string& model) {
    for (char c : model) {
        if (is_white_space(c) || c == '"')
            return "model name \"" + model + "\" must not contain white space or double quotes";
    }
    return {};
}

std::string check_model(const UpscalerConfig& config, const std::string& model) {
    if (std::string bad_name = check_model_name(model); !bad_name.empty()) return bad_name;
    if (is_onnx_model(model)) {
        if (config.python.empty() || !file_exists(config.python))
            return "ONNX model " + model + " needs --python <venv python.exe with onnxruntime>";
        if (config.onnx_runner.empty() || !file_exists(config.onnx_runner))
            return "ONNX model " + model + " needs --onnx-runner <onnx_upscale.py>";
        if (find_onnx_model(config, model).empty())
            return "ONNX model " + model.substr(kOnnxPrefix.size()) + ".onnx not found in the --onnx-models folders";
        return {};
    }
    if (config.exe.empty()) return "--exe <realesrgan-ncnn-vulkan.exe> is required";
    if (!platform::program_file_present(config.exe))
        return "upscaler program not found: " + platform::path_to_utf8(config.exe);
    if (find_ncnn_model(config, model).empty())
        return "NCNN model " + model + ".param/.bin not found in the --models folders";
    return {};
}

std::string upscaler_settings_suffix(const UpscalerConfig& config, const std::vector<std::string>& models) {
    for (const auto& model : models) {
        if (is_onnx_model(model)) return "-ot" + std::to_string(config.onnx_tile);
    }
    return {};
}

}  // namespace tarkeep::upscale
