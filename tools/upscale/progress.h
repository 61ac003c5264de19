#pragma once
#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>

namespace tarkeep::upscale {

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
