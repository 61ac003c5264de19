#include "platform/signals.h"

#include <csignal>

namespace tarkeep::platform {
namespace {

std::atomic<bool>* stop_flag = nullptr;

extern "C" void on_stop_signal(int signal_number) {
    if (stop_flag) stop_flag->exchange(true);
    // The C runtime resets the handler to the default before calling it; re-arm it so
    // a second Ctrl+C does not kill the process before statistics are printed.
    std::signal(signal_number, on_stop_signal);
}

}  // namespace

void install_stop_handler(std::atomic<bool>& flag) {
    stop_flag = &flag;
    std::signal(SIGINT, on_stop_signal);
    // Ctrl+Break arrives as its own signal on Windows; it should stop the same way.
    std::signal(SIGBREAK, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);
}

void ignore_broken_pipe() {}

}  // namespace tarkeep::platform
