// The clock on POSIX: CLOCK_MONOTONIC, localtime_r and nanosleep.
#include "platform/clock.h"

#include <time.h>

namespace tarkeep::platform {

std::uint64_t monotonic_nanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u + static_cast<std::uint64_t>(now.tv_nsec);
}

std::string local_time_text(const char* format) {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char text[128];
    const std::size_t length = strftime(text, sizeof text, format, &local);
    return std::string(text, length);
}

void sleep_milliseconds(unsigned milliseconds) {
    timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0) {}
}

// Sleeps and polls already wake within microseconds of their time here.
FineTimerPeriod::FineTimerPeriod() = default;
FineTimerPeriod::~FineTimerPeriod() = default;

}  // namespace tarkeep::platform
