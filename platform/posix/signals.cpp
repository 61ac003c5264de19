// Stop requests on POSIX: SIGINT, SIGTERM and SIGHUP (the terminal closing) set the flag;
// SIGUSR1 asks for a status report and SIGHUP, where the program reloads, for a reload.
#include "platform/signals.h"

#include <signal.h>

#include <csignal>

#include "platform/stop_requests.h"

namespace tarkeep::platform {
namespace {

extern "C" void on_stop_signal(int) { request_stop(); }
extern "C" void on_status_signal(int) { request_status(); }
extern "C" void on_reload_signal(int) { request_reload(); }

// No SA_RESTART: a blocked poll returns and the request is seen at once.
void handle_signal(int signal_number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(signal_number, &action, nullptr);
}

}  // namespace

void install_stop_handler(std::atomic<bool>& flag) {
    set_stop_flag(&flag);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) handle_signal(signal_number, on_stop_signal);
}

void install_host_requests(bool hang_up_reloads) {
    handle_signal(SIGUSR1, on_status_signal);
    if (hang_up_reloads) handle_signal(SIGHUP, on_reload_signal);
}

void ignore_broken_pipe() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace tarkeep::platform
