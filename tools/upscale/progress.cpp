// The progress line on standard error: count and seconds, redrawn at most every 100 ms, cleared at the end.
#include "tools/upscale/progress.h"

#include <cstdio>

#include "platform/terminal.h"

namespace tarkeep::upscale {

Progress::Progress(std::string phase, std::size_t total)
    : phase_(std::move(phase)),
      total_(total),
      enabled_(total > 0 && platform::stderr_is_terminal()),
      start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {
    if (enabled_) draw(0);
}

Progress::~Progress() { finish(); }

void Progress::tick() {
    const std::size_t done = done_.fetch_add(1) + 1;
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(draw_mutex_);
    // Redrawing on every texture would flood a slow terminal.
    if (done < total_ && now - last_draw_ < std::chrono::milliseconds(100)) return;
    last_draw_ = now;
    draw(done);
}

void Progress::finish() {
    if (!enabled_) return;
    std::lock_guard lock(draw_mutex_);
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(drawn_width_), "");
    std::fflush(stderr);
    enabled_ = false;
}

void Progress::draw(std::size_t done) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char line[160];
    const int width = std::snprintf(line, sizeof line, "%s %zu/%zu, %.1f s", phase_.c_str(), done, total_, seconds);
    if (width <= 0) return;
    std::fprintf(stderr, "\r%s", line);
    std::fflush(stderr);
    if (static_cast<std::size_t>(width) > drawn_width_) drawn_width_ = static_cast<std::size_t>(width);
}

}  // namespace tarkeep::upscale
