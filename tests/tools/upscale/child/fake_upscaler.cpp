// A stand-in for the outside upscaler in the runner tests. It writes every argument it
// received to standard error as "arg[<argument>]" lines, then behaves as the arguments
// ask: one containing "exit7" exits with 7, "traceback" writes a Python traceback,
// "chatty" writes many failure lines, "out-line" writes one line to standard output.
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    bool traceback = false, chatty = false, out_line = false;
    int code = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::fprintf(stderr, "arg[%s]\n", arg.c_str());
        if (arg.find("exit7") != std::string::npos) code = 7;
        if (arg.find("traceback") != std::string::npos) traceback = true;
        if (arg.find("chatty") != std::string::npos) chatty = true;
        if (arg.find("out-line") != std::string::npos) out_line = true;
    }
    if (traceback) {
        std::fputs("Traceback (most recent call last):\n", stderr);
        std::fputs("  File \"onnx_upscale.py\", line 3, in <module>\n", stderr);
        std::fputs("onnxruntime.capi.onnxruntime_pybind11_state.Fail: session creation failed\r\n", stderr);
    }
    if (chatty) {
        // 100 lines of 60 characters each.
        for (int i = 0; i < 100; ++i)
            std::fprintf(stderr, "tile %03d failed: vkQueueSubmit out of device memory.....\n", i);
    }
    if (out_line) std::puts("to standard output");
    return code;
}
