// Starting the outside upscaler: command lines, arguments passed intact, exit codes and failure text.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/cmdline.h"
#include "platform/process.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/upscaler_runner.h"

namespace tarkeep::upscale {
namespace {
namespace fs = std::filesystem;

using test::touch;
const fs::path kChild = TARKEEP_FAKE_UPSCALER;

std::string utf8(const fs::path& path) { return platform::path_to_utf8(path); }

// The arguments the fake upscaler received, from its "arg[...]" log lines.
std::vector<std::string> received(const fs::path& log) {
    std::vector<std::string> args;
    std::istringstream lines(test::read_text(log));
    std::string line;
    while (std::getline(lines, line)) {
        while (!line.empty() && line.back() == '\r') line.pop_back();  // a Windows child's text mode
        if (line.rfind("arg[", 0) == 0 && line.back() == ']') args.push_back(line.substr(4, line.size() - 5));
    }
    return args;
}

// An NCNN set-up whose "upscaler" is the fake child, with the given model files.
struct Fixture {
    test::TempDir dir;
    UpscalerConfig config;
    fs::path in = dir / "in put";
    fs::path out = dir / "out";
    fs::path log = dir / "log.txt";

    explicit Fixture(std::initializer_list<const char*> models) {
        config.exe = kChild;
        config.model_dirs = {dir / "models dir"};
        for (const char* model : models) {
            touch(dir / "models dir" / (std::string(model) + ".param"));
            touch(dir / "models dir" / (std::string(model) + ".bin"));
        }
        fs::create_directories(in);
        fs::create_directories(out);
    }
};

TEST(BuildCommand, NcnnLine) {
    Fixture f({"x4"});
    const std::string q = "\"";
    EXPECT_EQ(build_command(f.config, "x4", f.in, f.out, {"200"}),
              q + utf8(kChild) + q + " -i " + q + utf8(f.in) + q + " -o " + q + utf8(f.out) + q + " -n x4 -s 4 -m " +
                  q + utf8(f.dir / "models dir") + q + " -f png -t 200");
    f.config.gpu = "1";
    f.config.threads = "1:2:2";
    const std::string line = build_command(f.config, "x4", f.in, f.out, {"64", true});
    EXPECT_EQ(line.substr(line.find(" -f ")), " -f png -t 64 -x -g 1 -j 1:2:2");
}

// An ONNX set-up in `dir` with one model, net.onnx, run by `python`.
UpscalerConfig onnx_config(const test::TempDir& dir, const fs::path& python) {
    UpscalerConfig config;
    config.python = python;
    config.onnx_runner = dir / "onnx_upscale.py";
    config.onnx_model_dirs = {dir / "onnx"};
    touch(dir / "onnx" / "net.onnx");
    return config;
}

TEST(BuildCommand, OnnxLineIgnoresTileTextAndThreads) {
    test::TempDir dir;
    UpscalerConfig config = onnx_config(dir, dir / "python");
    config.onnx_tile = 384;
    config.onnx_provider = "cpu";
    config.threads = "4";
    config.gpu = "0";
    const std::string q = "\"";
    EXPECT_EQ(build_command(config, "onnx:net", dir / "in", dir / "out", {"999", true}),
              q + utf8(dir / "python") + q + " -I " + q + utf8(dir / "onnx_upscale.py") + q + " -i " + q +
                  utf8(dir / "in") + q + " -o " + q + utf8(dir / "out") + q + " -m " + q +
                  utf8(dir / "onnx" / "net.onnx") + q + " -s 4 -t 384 -p cpu --quiet -g 0");
}

TEST(BuildCommand, ChildReceivesEveryArgumentIntact) {
    Fixture f({"x4"});
    // A folder whose name ends in a backslash would otherwise swallow the closing quote.
    const fs::path tricky = f.dir / "trailing\\";
    fs::create_directories(tricky);
    f.config.gpu = "0";
    const std::string line = build_command(f.config, "x4", f.in, tricky, {"32", true});
    EXPECT_EQ(run_process(line, f.log), 0);
    EXPECT_EQ(received(f.log),
              (std::vector<std::string>{"-i", utf8(f.in), "-o", utf8(tricky), "-n", "x4", "-s", "4", "-m",
                                        utf8(f.dir / "models dir"), "-f", "png", "-t", "32", "-x", "-g", "0"}));
}

TEST(RunProcess, ExitCodesAndMissingPrograms) {
    test::TempDir dir;
    const std::string child = "\"" + utf8(kChild) + "\"";
    EXPECT_EQ(run_process(child + " plain", dir / "log"), 0);
    EXPECT_EQ(run_process(child + " exit7", dir / "log"), 7);
    EXPECT_EQ(received(dir / "log"), (std::vector<std::string>{"exit7"}));  // the log is replaced, not appended
    EXPECT_EQ(run_process(child + " exit7", {}), 7);
    EXPECT_EQ(run_process("\"" + utf8(dir / "no such program") + "\" -i x", dir / "log"), -1);
    // A log that cannot be created leaves the child's error stream alone.
    EXPECT_EQ(run_process(child + " exit7", dir / "missing" / "log"), 7);
}

TEST(RunUpscaler, FailuresNameCodeCommandAndTheCollectedErrorLines) {
    Fixture f({"x4", "exit7", "traceback", "chatty"});
    const auto command = [&](const char* model) { return build_command(f.config, model, f.in, f.out, {"32"}); };
    const auto failure = [&](const char* model, const fs::path& log) {
        return run_upscaler(f.config, model, f.in, f.out, {"32"}, log);
    };
    EXPECT_EQ(failure("x4", f.log), "");
    EXPECT_EQ(failure("exit7", f.log), "Real-ESRGAN failed (exit code 7): " + command("exit7") + "\n");
    // A traceback fails even with exit code 0, when the error stream is captured at all.
    EXPECT_EQ(failure("traceback", f.log),
              "Real-ESRGAN failed (exit code 0): " + command("traceback") + "\n" +
                  "  Traceback (most recent call last):\n"
                  "  onnxruntime.capi.onnxruntime_pybind11_state.Fail: session creation failed\n");
    EXPECT_EQ(failure("traceback", {}), "");
    // Collected lines stop after 2000 characters; the crossing line is kept whole.
    const std::string chatty = failure("chatty", f.log);
    const std::string collected = chatty.substr(chatty.find('\n') + 1);
    const std::string entry = "  tile 000 failed: vkQueueSubmit out of device memory.....\n";
    EXPECT_EQ(collected.size(), (2000 / entry.size() + 1) * entry.size());
    EXPECT_EQ(collected.substr(0, entry.size()), entry);
    f.config.exe = f.dir / "absent.exe";
    EXPECT_EQ(failure("exit7", f.log).rfind("Real-ESRGAN failed (exit code -1): ", 0), 0u);

    const UpscalerConfig onnx = onnx_config(f.dir, kChild);
    const std::string text = run_upscaler(onnx, "onnx:net", f.in, f.dir / "exit7", {"32"}, f.log);
    EXPECT_EQ(text.rfind("ONNX failed (exit code 7): \"" + utf8(kChild) + "\" -I ", 0), 0u) << text;
    EXPECT_EQ(received(f.log).at(0), "-I");
}

}  // namespace
}  // namespace tarkeep::upscale
