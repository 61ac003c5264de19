// Time for timing and logs: a monotonic clock, the local time as text, and sleeping.
#pragma once
#include <cstdint>
#include <string>

namespace tarkeep::platform {

// Monotonic time since an arbitrary start, never going back.
std::uint64_t monotonic_nanoseconds();
inline std::uint64_t monotonic_microseconds() { return monotonic_nanoseconds() / 1000; }

// The local wall-clock time formatted with strftime.
std::string local_time_text(const char* format);

void sleep_milliseconds(unsigned milliseconds);

}  // namespace tarkeep::platform
