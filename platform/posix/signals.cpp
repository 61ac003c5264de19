#include "platform/signals.h"

#include <signal.h>

#include <csignal>

namespace tarkeep::platform {
namespace {

std::atomic<bool>* stop_flag = nullptr;

extern "C" void on_stop_signal(int) {
    if (stop_flag) stop_flag->exchange(true);
}

}  // namespace

void install_stop_handler(std::atomic<bool>& flag) {
    stop_flag = &flag;
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked poll returns and the flag is seen at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void ignore_broken_pipe() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace tarkeep::platform
