// The upscaler configuration: defaults and options, finding models, model checks and settings suffixes.
#include <gtest/gtest.h>

#include "platform/process.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/upscaler_config.h"

namespace tarkeep::upscale {
namespace {
namespace fs = std::filesystem;
using test::touch;

Args args_of(std::vector<std::string> words) {
    words.insert(words.begin(), "tarkeep_upscale");
    return parse_args(static_cast<int>(words.size()), words);
}

TEST(ModelKinds, OnnxPrefixNeedsTheColon) {
    for (const char* name : {"onnx:", "onnx:esrgan"}) EXPECT_TRUE(is_onnx_model(name)) << name;
    for (const char* name : {"onnx", "onnxesrgan", "ONNX:x"}) EXPECT_FALSE(is_onnx_model(name)) << name;
}

TEST(UpscalerConfig, DefaultsAndOptions) {
    test::TempDir dir;
    const UpscalerConfig plain = make_upscaler_config(args_of({}), dir.path());
    EXPECT_EQ(std::tie(plain.model_dirs, plain.onnx_provider, plain.onnx_tile),
              std::tuple(std::vector<fs::path>{}, "dml", 512u));

    const UpscalerConfig set =
        make_upscaler_config(args_of({"--exe", "/opt/esr/realesrgan", "--gpu", "1", "--threads", "1:2:2", "--onnx-tile",
                                      "256", "--onnx-provider", "cpu", "--onnx-models", "a", "--onnx-models", "b"}),
                             dir.path());
    EXPECT_EQ(std::tie(set.model_dirs, set.gpu, set.threads, set.onnx_tile, set.onnx_provider, set.onnx_model_dirs),
              std::tuple(std::vector<fs::path>{fs::path("/opt/esr") / "models"}, "1", "1:2:2", 256u, "cpu",
                         std::vector<fs::path>{"a", "b"}));
    EXPECT_THROW(make_upscaler_config(args_of({"--onnx-tile", "big"}), dir.path()), std::invalid_argument);
}

TEST(UpscalerConfig, PythonAndRunnerAreFoundBesideTheProgram) {
    test::TempDir dir;
    const fs::path program_dir = dir / "install" / "bin";
    fs::create_directories(program_dir);
    touch(dir / "tools" / "onnx_upscale.py");  // ../../tools from the program's folder
    UpscalerConfig config = make_upscaler_config(args_of({}), program_dir);
    EXPECT_TRUE(config.python.empty());
    EXPECT_TRUE(fs::equivalent(config.onnx_runner, dir / "tools" / "onnx_upscale.py"));
    EXPECT_TRUE(config.onnx_runner.is_absolute());

    touch(platform::venv_python(program_dir / "onnx_venv"));
    touch(program_dir / "onnx_upscale.py");
    config = make_upscaler_config(args_of({}), program_dir);
    EXPECT_EQ(config.python, fs::absolute(platform::venv_python(program_dir / "onnx_venv")));
    EXPECT_EQ(config.onnx_runner, fs::absolute(program_dir / "onnx_upscale.py"));

    config = make_upscaler_config(args_of({"--python", "py", "--onnx-runner", "run.py"}), program_dir);
    EXPECT_EQ(config.python, fs::path("py"));
    EXPECT_EQ(config.onnx_runner, fs::path("run.py"));
}

TEST(FindModel, SearchesFoldersInOrder) {
    test::TempDir dir;
    for (const char* file : {"one/shared.param", "one/shared.bin", "two/shared.param", "two/shared.bin",
                             "two/only2.param", "two/only2.bin", "one/half.param"})
        touch(dir / file);
    UpscalerConfig config;
    config.model_dirs = {dir / "one", dir / "two"};
    EXPECT_EQ(find_ncnn_model(config, "shared"), dir / "one");
    EXPECT_EQ(find_ncnn_model(config, "only2"), dir / "two");
    EXPECT_TRUE(find_ncnn_model(config, "half").empty());

    // Beside the --exe program when no --models is given.
    for (const char* file : {"esr/realesrgan", "esr/models/x4.param", "esr/models/x4.bin"}) touch(dir / file);
    const std::string exe = (dir / "esr" / "realesrgan").string();
    EXPECT_EQ(find_ncnn_model(make_upscaler_config(args_of({"--exe", exe}), dir.path()), "x4"), dir / "esr" / "models");
    EXPECT_TRUE(find_ncnn_model(
                    make_upscaler_config(args_of({"--exe", exe, "--models", (dir / "one").string()}), dir.path()), "x4")
                    .empty());
}

TEST(FindModel, OnnxLooksOneSubfolderDeep) {
    test::TempDir dir;
    for (const char* file :
         {"onnx/top.onnx", "onnx/sub/deep.onnx", "onnx/sub/inner/deeper.onnx", "onnx/file-not-folder"})
        touch(dir / file);
    UpscalerConfig config;
    config.onnx_model_dirs = {dir / "missing", dir / "onnx"};
    EXPECT_EQ(find_onnx_model(config, "onnx:top"), dir / "onnx" / "top.onnx");
    EXPECT_EQ(find_onnx_model(config, "onnx:deep"), dir / "onnx" / "sub" / "deep.onnx");
    EXPECT_TRUE(find_onnx_model(config, "onnx:deeper").empty());
}

TEST(CheckModel, ExplainsWhatIsMissingInOrder) {
    test::TempDir dir;
    UpscalerConfig config;
    EXPECT_EQ(check_model(config, "x4"), "--exe <realesrgan-ncnn-vulkan.exe> is required");
    config.exe = dir / "esr";
    config.model_dirs = {dir / "models"};
    EXPECT_EQ(check_model(config, "x4"), "NCNN model x4.param/.bin not found in the --models folders");
    touch(dir / "models" / "x4.param");
    touch(dir / "models" / "x4.bin");
    EXPECT_EQ(check_model(config, "x4"), "");

    EXPECT_EQ(check_model(config, "onnx:net"), "ONNX model onnx:net needs --python <venv python.exe with onnxruntime>");
    config.python = dir / "python";
    touch(config.python);
    EXPECT_EQ(check_model(config, "onnx:net"), "ONNX model onnx:net needs --onnx-runner <onnx_upscale.py>");
    config.onnx_runner = dir / "run.py";
    touch(config.onnx_runner);
    EXPECT_EQ(check_model(config, "onnx:net"), "ONNX model net.onnx not found in the --onnx-models folders");
    config.onnx_model_dirs = {dir.path()};
    touch(dir / "net.onnx");
    EXPECT_EQ(check_model(config, "onnx:net"), "");
}

TEST(CheckModel, RefusesNamesThatWouldSplit) {
    EXPECT_EQ(check_model_name("realesrgan-x4plus"), "");
    for (const char* name : {"my model", "tab\tname", "quote\"d", "line\n"}) {
        EXPECT_NE(check_model_name(name), "") << name;
        EXPECT_EQ(check_model(UpscalerConfig{}, name), check_model_name(name));
    }
}

TEST(SettingsSuffix, OnlyForOnnxModels) {
    UpscalerConfig config;
    config.onnx_tile = 384;
    EXPECT_EQ(upscaler_settings_suffix(config, {"x4", "y"}), "");
    EXPECT_EQ(upscaler_settings_suffix(config, {"x4", "onnx:a"}), "-ot384");
    EXPECT_EQ(upscaler_settings_suffix(config, {}), "");
}

}  // namespace
}  // namespace tarkeep::upscale
