#pragma once
#include <atomic>

namespace tarkeep::platform {

// Routes Ctrl+C / interrupt and termination requests to `flag`: the handler only sets
// it (an atomic exchange). The flag must outlive the process's use of the handler.
void install_stop_handler(std::atomic<bool>& flag);

// A write to a pipe or socket whose reader is gone fails with an error instead of
// ending the process (POSIX SIGPIPE); Windows has no such signal.
void ignore_broken_pipe();

}  // namespace tarkeep::platform
