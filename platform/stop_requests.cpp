// Stop requests shared by both platforms: the flag, the console event rules and the wait.
#include "platform/stop_requests.h"

#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <mutex>

#include "platform/signals.h"

namespace tarkeep::platform {
namespace {

std::atomic<std::atomic<bool>*> stop_flag{nullptr};
// The status a second stop request ends the process with; -1: a second one is like the first.
std::atomic<int> second_stop_status{-1};

std::atomic<bool> status_requested{false};
std::atomic<bool> reload_requested{false};

std::mutex finished_mutex;
std::condition_variable finished_changed;
bool finished = false;  // once set, a handler that comes later returns at once

}  // namespace

ConsoleEventAction console_event_action(unsigned long event, bool in_service_session) {
    switch (event) {
        case kCtrlC:
        case kCtrlBreak: return ConsoleEventAction::stop;
        case kCtrlLogoff: return in_service_session ? ConsoleEventAction::ignore : ConsoleEventAction::stop_and_wait;
        case kCtrlClose:
        case kCtrlShutdown: return ConsoleEventAction::stop_and_wait;
        default: return ConsoleEventAction::pass_on;
    }
}

unsigned long stop_wait_ms(unsigned long event) { return event == kCtrlClose ? 4000 : 15000; }

void set_stop_flag(std::atomic<bool>* flag) { stop_flag.store(flag); }

void request_stop() {
    std::atomic<bool>* flag = stop_flag.load();
    if (flag == nullptr || !flag->exchange(true)) return;
    // std::_Exit is safe in a signal handler: no destructors, no buffered output.
    if (const int status = second_stop_status.load(); status >= 0) std::_Exit(status);
}

void end_at_second_stop(int status) { second_stop_status.store(status); }

void request_status() { status_requested.store(true); }
void request_reload() { reload_requested.store(true); }
bool take_status_request() { return status_requested.exchange(false); }
bool take_reload_request() { return reload_requested.exchange(false); }

bool handle_console_event(unsigned long event, bool in_service_session) {
    const ConsoleEventAction action = console_event_action(event, in_service_session);
    if (action == ConsoleEventAction::pass_on) return false;
    if (action == ConsoleEventAction::ignore) return true;
    request_stop();
    if (action == ConsoleEventAction::stop_and_wait) {
        std::unique_lock lock(finished_mutex);
        finished_changed.wait_for(lock, std::chrono::milliseconds(stop_wait_ms(event)), [] { return finished; });
    }
    return true;
}

void stop_finished() {
    {
        std::lock_guard lock(finished_mutex);
        finished = true;
    }
    finished_changed.notify_all();
}

}  // namespace tarkeep::platform
