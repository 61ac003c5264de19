// The outside upscaler: its configuration, finding and checking models, command lines,
// arguments passed intact, exit codes and failure text.
#include <gtest/gtest.h>

#include "platform/cmdline.h"
#include "platform/process.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/upscaler_config.h"
#include "tools/upscale/upscaler_runner.h"

namespace tarkeep::upscale {
namespace {
namespace fs = std::filesystem;

using test::touch;
const fs::path kChild = TARKEEP_FAKE_UPSCALER;

std::string utf8(const fs::path& path) { return platform::path_to_utf8(path); }
std::string quoted(const fs::path& path) { return "\"" + utf8(path) + "\""; }

// One upscaler run as the pipelines make it: its command line, the child, its failure text.
std::string run_upscaler(const UpscalerConfig& config, const std::string& model, const fs::path& in,
                         const fs::path& out, const fs::path& log) {
    const std::string command = build_command(config, model, in, out, {"32"});
    return upscaler_failure(model, command, platform::run_process(command, log), log);
}

UpscalerConfig config_of(std::vector<std::string> words, const fs::path& program_dir) {
    words.insert(words.begin(), "tarkeep_upscale");
    return make_upscaler_config(parse_args(static_cast<int>(words.size()), words), program_dir);
}

// The arguments the fake upscaler received, from its "arg[...]" log lines (a Windows child's end in "\r\n").
std::vector<std::string> received(const fs::path& log) {
    std::vector<std::string> args;
    std::istringstream lines(test::read_text(log));
    for (std::string line; std::getline(lines, line);) {
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with("arg[") && line.ends_with("]")) args.push_back(line.substr(4, line.size() - 5));
    }
    return args;
}

TEST(UpscalerConfig, ModelsAreSearchedInOrderWhatIsMissingIsExplainedAndOptionsMakeTheCommandLines) {
    test::TempDir dir;
    for (const char* file : {"one/shared.param", "one/shared.bin", "two/shared.param", "two/shared.bin",
                             "two/only2.param", "two/only2.bin", "one/half.param", "esr/realesrgan",
                             "esr/models/x4.param", "esr/models/x4.bin", "onnx/top.onnx", "onnx/sub/deep.onnx",
                             "onnx/sub/inner/deeper.onnx", "onnx/file-not-folder", "python", "run.py", "onnx/net.onnx"})
        touch(dir / file);
    UpscalerConfig config;
    EXPECT_EQ(check_model(config, "x4"), "--exe <realesrgan-ncnn-vulkan.exe> is required");
    EXPECT_EQ(check_model(config, "onnx:net"), "ONNX model onnx:net needs --python <venv python.exe with onnxruntime>");
    config.python = dir / "python";
    EXPECT_EQ(check_model(config, "onnx:net"), "ONNX model onnx:net needs --onnx-runner <onnx_upscale.py>");
    config.onnx_runner = dir / "run.py";
    config.onnx_model_dirs = {dir / "missing", dir / "onnx"};
    config.exe = dir / "esr";  // a folder
    config.model_dirs = {dir / "one", dir / "two"};
    EXPECT_EQ(check_model(config, "shared"), "upscaler program not found: " + config.exe.string());
    config.exe = dir / "esr" / "realesrgan";
    const std::string ncnn = ".param/.bin not found in the --models folders";
    const std::pair<const char*, std::string> cases[] = {
        {"half", "NCNN model half" + ncnn},
        {"x4", "NCNN model x4" + ncnn},
        {"ONNX:top", "NCNN model ONNX:top" + ncnn},  // "onnx:" as written
        {"onnx:deeper", "ONNX model deeper.onnx not found in the --onnx-models folders"},
        {"my model", "model name \"my model\" must not contain white space or double quotes"}};
    for (const auto& [model, problem] : cases) EXPECT_EQ(check_model(config, model), problem) << model;
    for (const char* model : {"shared", "only2", "onnx:top", "onnx:deep"}) EXPECT_EQ(check_model(config, model), "");
    EXPECT_EQ(std::tuple(find_ncnn_model(config, "shared"), find_ncnn_model(config, "only2")),
              std::tuple(dir / "one", dir / "two"));
    EXPECT_EQ(std::tuple(find_onnx_model(config, "onnx:top"), find_onnx_model(config, "onnx:deep")),
              std::tuple(dir / "onnx" / "top.onnx", dir / "onnx" / "sub" / "deep.onnx"));  // one subfolder deep
    // NCNN models beside the --exe program when no --models is given.
    const std::string exe = (dir / "esr" / "realesrgan").string();
    EXPECT_EQ(find_ncnn_model(config_of({"--exe", exe}, dir.path()), "x4"), dir / "esr" / "models");
    EXPECT_TRUE(
        find_ncnn_model(config_of({"--exe", exe, "--models", (dir / "one").string()}, dir.path()), "x4").empty());

    for (const char* name : {"tab\tname", "quote\"d", "line\n"}) EXPECT_NE(check_model_name(name), "") << name;

    // The options make the command lines.
    const UpscalerConfig tiled = config_of({"--onnx-tile", "384"}, dir.path());
    EXPECT_EQ(upscaler_settings_suffix(tiled, {"x4", "y"}) + "|" + upscaler_settings_suffix(tiled, {"x4", "onnx:a"}),
              "|-ot384");

    // The ONNX line ignores the tile text and the threads.
    const UpscalerConfig onnx =
        config_of({"--python", utf8(dir / "python"), "--onnx-runner", utf8(dir / "run.py"), "--onnx-models",
                   utf8(dir / "onnx"), "--onnx-tile", "384", "--onnx-provider", "cpu", "--threads", "4", "--gpu", "0"},
                  dir.path());
    EXPECT_EQ(build_command(onnx, "onnx:net", dir / "in", dir / "out", {"999", true}),
              quoted(dir / "python") + " -I " + quoted(dir / "run.py") + " -i " + quoted(dir / "in") + " -o " +
                  quoted(dir / "out") + " -m " + quoted(dir / "onnx" / "net.onnx") +
                  " -s 4 -t 384 -p cpu --quiet -g 0");
}

TEST(RunUpscaler, ArgumentsArriveIntactAndFailuresNameCodeCommandAndTheCollectedErrorLines) {
    // An NCNN set-up whose "upscaler" is the fake child: the whole command line as it arrives.
    test::TempDir dir;
    const fs::path in = dir / "in put", out = dir / "out", log = dir / "log.txt";
    UpscalerConfig config = config_of(
        {"--exe", utf8(kChild), "--models", utf8(dir / "models dir"), "--gpu", "1", "--threads", "1:2:2"}, dir.path());
    for (const char* model : {"x4", "exit7", "traceback", "chatty"})
        for (const char* ext : {".param", ".bin"}) touch(dir / "models dir" / (std::string(model) + ext));
    // A folder whose name ends in a backslash would otherwise swallow the closing quote.
    const fs::path tricky = dir / "trailing\\";
    for (const fs::path& folder : {in, out, tricky}) fs::create_directories(folder);
    EXPECT_EQ(platform::run_process(build_command(config, "x4", in, tricky, {"32", true}), log), 0);
    EXPECT_EQ(received(log), (std::vector<std::string>{"-i", utf8(in), "-o", utf8(tricky), "-n", "x4", "-s", "4", "-m",
                                                       utf8(dir / "models dir"), "-f", "png", "-t", "32", "-x", "-g",
                                                       "1", "-j", "1:2:2"}));

    const std::string child = quoted(kChild);
    EXPECT_EQ(platform::run_process(child + " exit7", log), 7);
    EXPECT_EQ(received(log), (std::vector<std::string>{"exit7"}));  // the log is replaced, not appended
    EXPECT_EQ(platform::run_process(child + " exit7", {}), 7);
    EXPECT_EQ(platform::run_process(quoted(dir / "no such program") + " -i x", log), -1);
    // A log that cannot be created leaves the child's error stream alone.
    EXPECT_EQ(platform::run_process(child + " exit7", dir / "missing" / "log"), 7);

    const auto command = [&](const char* model) { return build_command(config, model, in, out, {"32"}); };
    const auto failure = [&](const char* model, const fs::path& log) {
        return run_upscaler(config, model, in, out, log);
    };
    EXPECT_EQ(failure("x4", log), "");
    EXPECT_EQ(failure("exit7", log), "Real-ESRGAN failed (exit code 7): " + command("exit7") + "\n");
    // A traceback fails even with exit code 0, when the error stream is captured at all.
    EXPECT_EQ(failure("traceback", log),
              "Real-ESRGAN failed (exit code 0): " + command("traceback") + "\n" +
                  "  Traceback (most recent call last):\n"
                  "  onnxruntime.capi.onnxruntime_pybind11_state.Fail: session creation failed\n");
    EXPECT_EQ(failure("traceback", {}), "");
    // Collected lines stop after 2000 characters; the crossing line is kept whole.
    const std::string chatty = failure("chatty", log);
    const std::string collected = chatty.substr(chatty.find('\n') + 1);
    const std::string entry = "  tile 000 failed: vkQueueSubmit out of device memory.....\n";
    EXPECT_EQ(collected.size(), (2000 / entry.size() + 1) * entry.size());
    EXPECT_EQ(collected.substr(0, entry.size()), entry);
    config.exe = dir / "absent.exe";
    EXPECT_EQ(failure("exit7", log).rfind("Real-ESRGAN failed (exit code -1): ", 0), 0u);

    const UpscalerConfig onnx = config_of(
        {"--python", utf8(kChild), "--onnx-runner", utf8(dir / "onnx_upscale.py"), "--onnx-models", utf8(dir / "onnx")},
        dir.path());
    touch(dir / "onnx" / "net.onnx");
    const std::string text = run_upscaler(onnx, "onnx:net", in, dir / "exit7", log);
    EXPECT_EQ(text.rfind("ONNX failed (exit code 7): " + quoted(kChild) + " -I ", 0), 0u) << text;
    EXPECT_EQ(received(log).at(0), "-I");
}

}  // namespace
}  // namespace tarkeep::upscale
