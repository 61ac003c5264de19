// tarkeep_upscale: the asset tool's entry point, handing the UTF-8 arguments to the dispatcher.
#include <cstdio>

#include "platform/cmdline.h"
#include "tools/upscale/dispatch.h"

int main(int argc, char** argv) {
    // Report lines must appear as they are printed, interleaved with the upscaler's.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    return tarkeep::upscale::run_tool(tarkeep::platform::utf8_arguments(argc, argv));
}
