// The live status block a host asks for (SIGUSR1, --status-every).
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "server/client_session.h"
#include "server/game.h"
#include "server/server_stats.h"

namespace tarkeep::server {

// "1d 02:03:04", or "02:03:04" within the first day.
std::string uptime_text(std::uint64_t uptime_us);

// The block's log lines: uptime and clients, one line per game in id order, and the
// connections each limit has turned away since the start.
std::vector<std::string> status_lines(std::uint64_t uptime_us,
                                      const std::map<std::uint32_t, std::unique_ptr<ClientSession>>& clients,
                                      const std::map<std::uint32_t, Game>& games, const ServerStats& stats);

}  // namespace tarkeep::server
