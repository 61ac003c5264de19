// tarkeep_upscale: the asset tool's entry point, handing the UTF-8 arguments to the dispatcher.
#include <cstdio>

#include "platform/cmdline.h"
#include "platform/terminal.h"
#include "tools/upscale/dispatch.h"

int main(int argc, char** argv) {
    // Report lines must appear as they are printed, interleaved with the upscaler's.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    // Names and paths are printed as UTF-8 bytes; the console must read them so.
    tarkeep::platform::use_utf8_console();
    return tarkeep::upscale::run_tool(tarkeep::platform::utf8_arguments(argc, argv));
}
