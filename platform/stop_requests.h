// What both platforms' stop handlers share: the flag, the wait for the end of shutdown,
// and the rules for Windows' console control events (plain logic, tested everywhere).
#pragma once
#include <atomic>

namespace tarkeep::platform {

// Windows' console control event codes (CTRL_C_EVENT and the others).
inline constexpr unsigned long kCtrlC = 0, kCtrlBreak = 1, kCtrlClose = 2, kCtrlLogoff = 5, kCtrlShutdown = 6;

enum class ConsoleEventAction {
    pass_on,        // not ours: the next handler (finally the system's) decides
    ignore,         // handled by doing nothing
    stop,           // set the stop flag; the process goes on and stops by itself
    stop_and_wait,  // set the stop flag, then wait for stop_finished: the process ends when the handler returns
};

// A logoff reaches a process of session 0 (a service, or one started by a service)
// whenever any user logs off; that is not this program's session ending, so it is ignored.
ConsoleEventAction console_event_action(unsigned long event, bool in_service_session);

// How long a handler may wait for stop_finished: inside the 5 s that Windows gives a
// close handler and the 20 s of logoff and shutdown, with a margin.
unsigned long stop_wait_ms(unsigned long event);

// The flag that stop requests set (install_stop_handler records it).
void set_stop_flag(std::atomic<bool>* flag);
// Sets the recorded flag; safe in a signal handler (one atomic exchange).
void request_stop();

// Record a status or reload request; safe in a signal handler.
void request_status();
void request_reload();

// The console control handler's work: true when the event was handled. For close,
// logoff and shutdown it returns only once stop_finished was called or the wait is over.
bool handle_console_event(unsigned long event, bool in_service_session);

}  // namespace tarkeep::platform
