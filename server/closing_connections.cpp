// Graceful closing: send what is queued, shut down the sending side, drain, close.
#include "server/closing_connections.h"

#include <algorithm>

namespace tarkeep::server {

void ClosingConnections::add(Connection connection, std::uint64_t now_us) {
    if (max_connections_ == 0) return;
    if (entries_.size() >= max_connections_) entries_.erase(entries_.begin());
    entries_.push_back({std::move(connection), now_us + drain_us_, false});
    // A connection with nothing left to send and nothing to drain ends here at once.
    if (step(entries_.back())) entries_.pop_back();
}

void ClosingConnections::add_poll_items(std::vector<platform::PollItem>& items) const {
    for (const Entry& entry : entries_)
        items.push_back({entry.connection.socket().handle(), true, entry.connection.has_unsent()});
}

bool ClosingConnections::step(Entry& entry) {
    Connection& connection = entry.connection;
    if (!connection.send_pending()) return true;
    if (connection.has_unsent()) return false;
    if (!entry.shut) {
        if (!platform::shutdown_send(connection.socket())) return true;
        entry.shut = true;
    }
    return connection.discard_input();
}

void ClosingConnections::service(std::uint64_t now_us) {
    std::erase_if(entries_, [&](Entry& entry) { return step(entry) || now_us >= entry.deadline_us; });
}

}  // namespace tarkeep::server
