// Log lines written off the poll loop: a bounded queue drained by a writer thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tarkeep::server {

// The poll loop only appends to a bounded queue; one writer thread hands the lines to
// the stream, however long the stream blocks (a full pipe, a console in selection mode).
// When the queue is full, lines are dropped and counted, and the count is written once
// when the writer catches up. A failed write (the reader went away) ends logging to that
// stream for good: the server goes on without it.
class LogQueue {
public:
    // Writes one line; false when the stream is gone.
    using Writer = std::function<bool(std::string_view)>;
    // Makes a complete line (time stamp, line feed) of a text.
    using Stamp = std::function<std::string(std::string_view)>;

    LogQueue(Writer writer, Stamp stamp, std::size_t capacity);
    // Waits for the writer at most `flush_limit_ms` more; a writer still blocked then is
    // left behind, so a stream nobody reads cannot hold up the end of the process.
    ~LogQueue();
    LogQueue(const LogQueue&) = delete;
    LogQueue& operator=(const LogQueue&) = delete;

    // Queues the stamped text; never waits for the stream.
    void push(std::string_view text);
    // Waits until every queued line is written (or the stream is gone), at most `limit_ms`.
    // True when the queue emptied in time.
    bool flush(unsigned limit_ms);

    std::uint64_t dropped() const;
    bool stream_gone() const;

    static constexpr unsigned flush_limit_ms = 1000;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

// A writer to standard output (flushed per line): false once a write fails.
bool write_to_stdout(std::string_view line);

}  // namespace tarkeep::server
