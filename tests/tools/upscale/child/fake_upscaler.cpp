// A stand-in for the outside upscaler in the runner tests. It writes every argument it
// received to standard error as "arg[<argument>]" lines, then behaves as the arguments
// ask: one containing "exit7" exits with 7, "traceback" writes a Python traceback,
// "chatty" writes many failure lines.
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    bool traceback = false, chatty = false;
    int code = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::fprintf(stderr, "arg[%s]\n", arg.c_str());
        code = arg.find("exit7") != std::string::npos ? 7 : code;
        traceback = traceback || arg.find("traceback") != std::string::npos;
        chatty = chatty || arg.find("chatty") != std::string::npos;
    }
    if (traceback)
        std::fputs(
            "Traceback (most recent call last):\n  File \"onnx_upscale.py\", line 3, in <module>\n"
            "onnxruntime.capi.onnxruntime_pybind11_state.Fail: session creation failed\r\n",
            stderr);
    for (int i = 0; chatty && i < 100; ++i)  // 100 lines of 60 characters each
        std::fprintf(stderr, "tile %03d failed: vkQueueSubmit out of device memory.....\n", i);
    return code;
}
