// The clock on Windows: the performance counter, localtime_s and Sleep.
#include "platform/clock.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <ctime>

namespace tarkeep::platform {

std::uint64_t monotonic_nanoseconds() {
    static const std::uint64_t frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return static_cast<std::uint64_t>(value.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const auto ticks = static_cast<std::uint64_t>(counter.QuadPart);
    // Split to keep ticks * 10^9 from overflowing.
    return ticks / frequency * 1000000000u + ticks % frequency * 1000000000u / frequency;
}

std::string local_time_text(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    char text[128];
    const std::size_t length = std::strftime(text, sizeof text, format, &local);
    return std::string(text, length);
}

void sleep_milliseconds(unsigned milliseconds) { Sleep(milliseconds); }

}  // namespace tarkeep::platform
