// The clock on Windows: the performance counter, localtime_s, Sleep and the timer period.
#include "platform/clock.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <ctime>

namespace tarkeep::platform {
namespace {

// ntdll's timer resolution call, in 100 ns units, which timeBeginPeriod wraps. winmm is
// avoided on purpose: it loads user32, and a console process with user32 loaded is no
// longer told of logoff and shutdown, so the server could not stop cleanly then.
using SetTimerResolution = LONG(NTAPI*)(ULONG resolution, BOOLEAN set, ULONG* current);
constexpr ULONG kOneMillisecond = 10000;

SetTimerResolution set_timer_resolution() {
    static const auto function = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        const FARPROC found = ntdll ? GetProcAddress(ntdll, "NtSetTimerResolution") : nullptr;
        return reinterpret_cast<SetTimerResolution>(reinterpret_cast<void*>(found));
    }();
    return function;
}

}  // namespace

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

FineTimerPeriod::FineTimerPeriod() {
    ULONG current = 0;
    const SetTimerResolution set = set_timer_resolution();
    held_ = set && set(kOneMillisecond, TRUE, &current) >= 0;
}

FineTimerPeriod::~FineTimerPeriod() {
    ULONG current = 0;
    if (held_) set_timer_resolution()(kOneMillisecond, FALSE, &current);
}

}  // namespace tarkeep::platform
