// tarkeep_server: the relay server of the lockstep multiplayer.
#include <atomic>

#include "platform/clock.h"
#include "platform/cmdline.h"
#include "platform/signals.h"
#include "platform/terminal.h"
#include "server/entry.h"

namespace {
std::atomic<bool> stop_requested{false};
}

int main(int argc, char** argv) {
    tarkeep::platform::use_utf8_console();
    // The 20 ms step (1 ms under line simulation) needs a timer that keeps that pace.
    const tarkeep::platform::FineTimerPeriod timer_period;
    auto arguments = tarkeep::platform::utf8_arguments(argc, argv);
    if (!arguments.empty()) arguments.erase(arguments.begin());
    const int status = tarkeep::server::run_server_entry(arguments, stop_requested);
    // Statistics and shutdown notices are out: a console close or shutdown may end us now.
    tarkeep::platform::stop_finished();
    return status;
}
