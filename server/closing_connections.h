// Connections on their way out, closed gracefully so their last words arrive.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/net.h"
#include "server/connection.h"

namespace tarkeep::server {

// Closing a socket that still has unread input makes the system answer with a reset,
// and a reset can destroy what was sent just before (a Refused, a kick notice). So a
// connection that is done is kept here: its queued output is sent, its sending side shut
// down, and its input read and thrown away until the peer closes too or the drain time
// runs out.
class ClosingConnections {
public:
    ClosingConnections(std::uint64_t drain_us, std::size_t max_connections)
        : drain_us_(drain_us), max_connections_(max_connections) {}

    // Takes the connection over; when too many are draining, the oldest is closed at once.
    void add(Connection connection, std::uint64_t now_us);
    void add_poll_items(std::vector<platform::PollItem>& items) const;
    // Sends, shuts down and drains each; closes those that are finished or out of time.
    void service(std::uint64_t now_us);
    void close_all() { entries_.clear(); }
    std::size_t size() const { return entries_.size(); }

private:
    struct Entry {
        Connection connection;
        std::uint64_t deadline_us = 0;
        bool shut = false;
    };
    // True when the entry is finished with and may be closed.
    static bool step(Entry& entry);

    std::uint64_t drain_us_;
    std::size_t max_connections_;
    std::vector<Entry> entries_;
};

}  // namespace tarkeep::server
