// Stop requests (Ctrl+C, console close, logoff, shutdown, termination) routed to one flag.
#pragma once
#include <atomic>

namespace tarkeep::platform {

// Routes every stop request to `flag`: Ctrl+C and Ctrl+Break, closing the console
// window, logoff and shutdown on Windows; SIGINT, SIGTERM and SIGHUP on POSIX. The
// handler only sets the flag (an atomic exchange). The flag must outlive the process's
// use of the handler.
void install_stop_handler(std::atomic<bool>& flag);

// From now on a stop request that comes while an earlier one is still being handled ends
// the process at once with `status`: the user's second Ctrl+C when the first one's orderly
// stop takes too long. What was written through write_file_atomic stays whole.
void end_at_second_stop(int status);

// Tells the stop handler that the program has finished its shutdown (last lines
// printed and flushed). Windows ends the process as soon as a handler of console close,
// logoff or shutdown returns, so that handler waits for this call (a few seconds at
// most) before it returns. Harmless without a handler or a stop request.
void stop_finished();

// A write to a pipe or socket whose reader is gone fails with an error instead of
// ending the process (POSIX SIGPIPE); Windows has no such signal.
void ignore_broken_pipe();

// Requests a running program answers without stopping. On POSIX, SIGUSR1 asks for a
// status report and, with `hang_up_reloads`, SIGHUP asks for its files to be read again
// instead of stopping it. Windows has neither signal, so nothing arrives there. Call it
// after install_stop_handler.
void install_host_requests(bool hang_up_reloads);
// Each is true once for the requests that arrived since its last call.
bool take_status_request();
bool take_reload_request();

}  // namespace tarkeep::platform
