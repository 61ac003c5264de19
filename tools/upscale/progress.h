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

// The progress of a phase as one line, "<phase> done/total, <elapsed>" or, for a phase that
// knows its work in megapixels, "<phase> done/total, <rate> Mpx/s, ETA <m:ss>". On a terminal
// standard error shows it redrawn in place and erased when the phase ends; otherwise (a log
// file, a pipe) it is printed as a plain line at most every 30 seconds. Standard output, where
// the report lines go, never sees it. tick() may be called from worker threads.
class Progress {
public:
    Progress(std::string phase, std::size_t total, double total_mpx = 0);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void tick();
    // Sets how much is done (items and their megapixels), for a phase that counts by looking.
    void set_done(std::size_t done, double done_mpx);
    // Erases the line from a terminal for a moment, so that other text can be printed; the next
    // update draws it again.
    void clear();
    void finish();

    // The line for `done` of `total` after `seconds` (the rate and ETA from `done_mpx`).
    static std::string line(const std::string& phase, std::size_t done, std::size_t total, double done_mpx,
                            double total_mpx, double seconds);

private:
    void show(std::size_t done, double done_mpx);

    std::string phase_;
    std::size_t total_;
    double total_mpx_;
    bool terminal_;
    bool finished_ = false;
    std::atomic<std::size_t> done_{0};
    std::mutex draw_mutex_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_draw_;
    std::size_t drawn_width_ = 0;
};

}  // namespace tarkeep::upscale
