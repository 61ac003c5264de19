// Stop requests on Windows: a console control handler for every console event; for close,
// logoff and shutdown it holds the process until the program has shut down.
#include "platform/signals.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <csignal>

#include "platform/stop_requests.h"

namespace tarkeep::platform {
namespace {

extern "C" void on_terminate_signal(int signal_number) {
    request_stop();
    std::signal(signal_number, on_terminate_signal);  // the C runtime resets it before the call
}

bool in_service_session() {
    DWORD session = 0;
    return ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0;
}

// Runs on a thread that the system starts for each event.
BOOL WINAPI console_handler(DWORD event) { return handle_console_event(event, in_service_session()) ? TRUE : FALSE; }

}  // namespace

void install_stop_handler(std::atomic<bool>& flag) {
    set_stop_flag(&flag);
    // A parent that started us in a new process group also switched Ctrl+C off for us.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(console_handler, TRUE);
    // raise(SIGTERM) inside the process is the only way SIGTERM arrives on Windows.
    std::signal(SIGTERM, on_terminate_signal);
}

void ignore_broken_pipe() {}

// No signal carries these on Windows; periodic checks stand in for them.
void install_host_requests(bool) {}

}  // namespace tarkeep::platform
