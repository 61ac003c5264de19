// Building the upscaler's command line, running it with a log, and collecting its failure lines.
#include "tools/upscale/upscaler_runner.h"

#include <fstream>
#include <stdexcept>

#include "platform/cmdline.h"
#include "platform/files.h"
#include "platform/process.h"

namespace tarkeep::upscale {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t kMaxCollected = 2000;

// The program is the first argument, which Windows splits without escapes: it is quoted
// plainly, and a quote inside it cannot be expressed at all.
std::string quote_program(const fs::path& program) {
    const std::string text = platform::path_to_utf8(program);
    if (text.find('"') != std::string::npos) throw std::runtime_error("program path contains a double quote: " + text);
    return "\"" + text + "\"";
}

std::string quote(const fs::path& path) { return platform::quote_argument(platform::path_to_utf8(path)); }

}  // namespace

std::string build_command(const UpscalerConfig& config, const std::string& model, const fs::path& input_dir,
                          const fs::path& output_dir, const TileSetting& tile) {
    std::string line;
    if (is_onnx_model(model)) {
        line = quote_program(config.python) + " -I " + quote(config.onnx_runner) + " -i " + quote(input_dir) + " -o " +
               quote(output_dir) + " -m " + quote(find_onnx_model(config, model)) + " -s " +
               std::to_string(kNetworkScale) + " -t " + std::to_string(config.onnx_tile) + " -p " +
               config.onnx_provider + " --quiet";
        if (!config.gpu.empty()) line += " -g " + config.gpu;
        return line;
    }
    line = quote_program(config.exe) + " -i " + quote(input_dir) + " -o " + quote(output_dir) + " -n " + model +
           " -s " + std::to_string(kNetworkScale) + " -m " + quote(find_ncnn_model(config, model)) + " -f png -t " +
           tile.size;
    if (tile.tta) line += " -x";
    if (!config.gpu.empty()) line += " -g " + config.gpu;
    if (!config.threads.empty()) line += " -j " + config.threads;
    return line;
}

const char* upscaler_label(const std::string& model) { return is_onnx_model(model) ? "ONNX" : "Real-ESRGAN"; }

std::string collect_failure_lines(const fs::path& log_path) {
    std::string collected;
    std::ifstream log(platform::stream_path(log_path), std::ios::binary);
    std::string line;
    while (std::getline(log, line)) {
        while (!line.empty() && line.back() == '\r') line.pop_back();  // CR LF from a Windows child
        if (line.find("failed") == std::string::npos && line.find("Traceback") == std::string::npos) continue;
        if (collected.size() >= kMaxCollected) break;
        collected += "  " + line + "\n";
    }
    return collected;
}

std::string upscaler_failure(const std::string& model, const std::string& command, int code, const fs::path& log_path) {
    const std::string collected = log_path.empty() ? std::string() : collect_failure_lines(log_path);
    if (code == 0 && collected.empty()) return {};
    return std::string(upscaler_label(model)) + " failed (exit code " + std::to_string(code) + "): " + command + "\n" +
           collected;
}

}  // namespace tarkeep::upscale
