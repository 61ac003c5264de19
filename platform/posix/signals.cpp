// Stop requests on POSIX: SIGINT, SIGTERM and SIGHUP (the terminal closing) set the flag.
#include "platform/signals.h"

#include <signal.h>

#include <csignal>

#include "platform/stop_requests.h"

namespace tarkeep::platform {
namespace {

extern "C" void on_stop_signal(int) { request_stop(); }

}  // namespace

void install_stop_handler(std::atomic<bool>& flag) {
    set_stop_flag(&flag);
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked poll returns and the flag is seen at once
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal_number, &action, nullptr);
}

void ignore_broken_pipe() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace tarkeep::platform
