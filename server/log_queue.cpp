// The log writer thread and its bounded queue.
#include "server/log_queue.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

namespace tarkeep::server {

// Owned jointly by the queue and its thread, so a thread left behind in a blocked write
// still has what it touches.
struct LogQueue::Shared {
    Writer writer;
    Stamp stamp;
    std::size_t capacity = 0;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> lines;
    std::uint64_t dropped_total = 0;
    std::uint64_t dropped_unreported = 0;
    bool writing = false;
    bool gone = false;
    bool stopping = false;

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return stopping || !lines.empty() || dropped_unreported != 0; });
            std::string line;
            if (!lines.empty()) {
                line = std::move(lines.front());
                lines.pop_front();
            } else if (dropped_unreported != 0) {
                // Told once the backlog is written, in its place in the stream.
                line = stamp(std::to_string(dropped_unreported) + " log lines dropped (output too slow)");
                dropped_unreported = 0;
            } else {
                return;  // stopping, nothing left
            }
            writing = true;
            lock.unlock();
            const bool written = writer(line);
            lock.lock();
            writing = false;
            if (!written) {
                gone = true;
                lines.clear();
                dropped_unreported = 0;
                changed.notify_all();
                return;
            }
            changed.notify_all();
        }
    }
};

LogQueue::LogQueue(Writer writer, Stamp stamp, std::size_t capacity) : shared_(std::make_shared<Shared>()) {
    shared_->writer = std::move(writer);
    shared_->stamp = std::move(stamp);
    shared_->capacity = capacity;
    std::thread([shared = shared_] { shared->run(); }).detach();
}

LogQueue::~LogQueue() {
    flush(flush_limit_ms);
    std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
    shared_->changed.notify_all();
}

void LogQueue::push(std::string_view text) {
    std::string line = shared_->stamp(text);
    std::lock_guard lock(shared_->mutex);
    if (shared_->gone) return;
    if (shared_->lines.size() >= shared_->capacity) {
        ++shared_->dropped_total;
        ++shared_->dropped_unreported;
        return;
    }
    shared_->lines.push_back(std::move(line));
    shared_->changed.notify_all();
}

bool LogQueue::flush(unsigned limit_ms) {
    std::unique_lock lock(shared_->mutex);
    return shared_->changed.wait_for(lock, std::chrono::milliseconds(limit_ms), [&] {
        return shared_->gone || (shared_->lines.empty() && shared_->dropped_unreported == 0 && !shared_->writing);
    });
}

std::uint64_t LogQueue::dropped() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->dropped_total;
}

bool LogQueue::stream_gone() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->gone;
}

bool write_to_stdout(std::string_view line) {
    return std::fwrite(line.data(), 1, line.size(), stdout) == line.size() && std::fflush(stdout) == 0;
}

}  // namespace tarkeep::server
