// Progress on a terminal and phase timing for the long-running commands.
#pragma once
#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>

namespace tarkeep::upscale {

// Seconds since it was made (or restarted): the phase times of the report lines.
class Stopwatch {
public:
    double seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }
    void restart() { start_ = std::chrono::steady_clock::now(); }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// A one-line "<phase> done/total, elapsed" indicator on standard error, for people
// watching a long run. Shown only when standard error is a terminal, never on standard
// output, and erased when the phase ends. tick() may be called from worker threads.
class Progress {
public:
    Progress(std::string phase, std::size_t total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void tick();
    void finish();

private:
    void draw(std::size_t done);

    std::string phase_;
    std::size_t total_;
    bool enabled_;
    std::atomic<std::size_t> done_{0};
    std::mutex draw_mutex_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_draw_;
    std::size_t drawn_width_ = 0;
};

}  // namespace tarkeep::upscale
