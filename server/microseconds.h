// The server keeps its time in microseconds of the monotonic clock.
#pragma once
#include <cstdint>

namespace tarkeep::server {

inline constexpr std::uint64_t kMicrosecondsPerSecond = 1'000'000;

}  // namespace tarkeep::server
