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

// Holds a 1 ms system timer period while it lives and gives it back when destroyed.
// Windows otherwise ends sleeps and poll time-outs on its 15.6 ms tick, so a 20 ms step
// takes about 31 ms and a 1 ms step about 16 ms. POSIX timers need nothing.
class FineTimerPeriod {
public:
    FineTimerPeriod();
    ~FineTimerPeriod();
    FineTimerPeriod(const FineTimerPeriod&) = delete;
    FineTimerPeriod& operator=(const FineTimerPeriod&) = delete;
    // True while this object holds the 1 ms period.
    bool held() const { return held_; }

private:
    bool held_ = false;
};

}  // namespace tarkeep::platform
