// tarkeep_server: the relay server of the lockstep multiplayer.
#include <atomic>

#include "platform/cmdline.h"
#include "server/entry.h"

namespace {
std::atomic<bool> stop_requested{false};
}

int main(int argc, char** argv) {
    auto arguments = tarkeep::platform::utf8_arguments(argc, argv);
    if (!arguments.empty()) arguments.erase(arguments.begin());
    return tarkeep::server::run_server_entry(arguments, stop_requested);
}
