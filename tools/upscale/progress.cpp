// The progress line on standard error: redrawn in place on a terminal at most every 100 ms and
// cleared at the end; elsewhere a plain line at most every 30 s, so that a log stays readable.
#include "tools/upscale/progress.h"

#include <cstdio>

#include "platform/terminal.h"

namespace tarkeep::upscale {
namespace {

constexpr std::chrono::milliseconds kTerminalRedraw{100};
constexpr std::chrono::milliseconds kPlainLineEvery{30'000};

}  // namespace

Progress::Progress(std::string phase, std::size_t total, double total_mpx)
    : phase_(std::move(phase)),
      total_(total),
      total_mpx_(total_mpx),
      terminal_(platform::stderr_is_terminal()),
      finished_(total == 0),
      start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {
    if (terminal_ && !finished_) show(0, 0);
}

Progress::~Progress() { finish(); }

void Progress::tick() { show(done_.fetch_add(1) + 1, 0); }

void Progress::set_done(std::size_t done, double done_mpx) {
    done_.store(done);
    show(done, done_mpx);
}

void Progress::clear() {
    std::lock_guard lock(draw_mutex_);
    if (!terminal_ || finished_ || drawn_width_ == 0) return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(drawn_width_), "");
    std::fflush(stderr);
    drawn_width_ = 0;
}

void Progress::finish() {
    clear();
    std::lock_guard lock(draw_mutex_);
    finished_ = true;
}

std::string Progress::line(const std::string& phase, std::size_t done, std::size_t total, double done_mpx,
                           double total_mpx, double seconds) {
    char text[200];
    if (total_mpx <= 0) {
        std::snprintf(text, sizeof text, "%s %zu/%zu, %.1f s", phase.c_str(), done, total, seconds);
        return text;
    }
    const double rate = seconds > 0 ? done_mpx / seconds : 0;
    if (rate <= 0) {
        std::snprintf(text, sizeof text, "%s %zu/%zu, %.1f s, ETA unknown", phase.c_str(), done, total, seconds);
        return text;
    }
    const auto eta = static_cast<long long>((total_mpx - done_mpx) / rate + 0.5);
    std::snprintf(text, sizeof text, "%s %zu/%zu, %.2f Mpx/s, ETA %lld:%02lld", phase.c_str(), done, total, rate,
                  eta / 60, eta % 60);
    return text;
}

void Progress::show(std::size_t done, double done_mpx) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(draw_mutex_);
    if (finished_) return;
    // Redrawing on every item would flood a slow terminal; a log wants even fewer lines.
    const bool due = now - last_draw_ >= (terminal_ ? kTerminalRedraw : kPlainLineEvery);
    if (!due && !(terminal_ && done == total_)) return;
    last_draw_ = now;
    const std::string text =
        line(phase_, done, total_, done_mpx, total_mpx_, std::chrono::duration<double>(now - start_).count());
    if (!terminal_) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    // Padded to the widest line drawn, so that a shorter one leaves nothing behind.
    std::fprintf(stderr, "\r%-*s", static_cast<int>(drawn_width_), text.c_str());
    std::fflush(stderr);
    if (text.size() > drawn_width_) drawn_width_ = text.size();
}

}  // namespace tarkeep::upscale
