// The server program as a function, for main and for tests.
#pragma once
#include <atomic>
#include <string>
#include <vector>

#include "server/server_stats.h"

namespace tarkeep::server {

// "sim <version> src <first 16 digits of the source digest>".
std::string build_tag();

// "tarkeep_server <version> (<build tag>)", line feed included: what --version prints.
std::string version_line();

// The line after the banner that says what its build tag means, line feed included.
std::string banner_note(bool line_simulation_on);

// The closing "stopped: ..." line, line feed included.
std::string statistics_line(const ServerStats& stats);

// The whole program after argument conversion: parse, start, serve until `stop` is set
// (or --stop-after passes), print the statistics and shut down. Returns the exit status:
// 0 after a normal stop, 1 when the server cannot start, 2 for usage or a bad value.
int run_server_entry(const std::vector<std::string>& arguments, std::atomic<bool>& stop);

}  // namespace tarkeep::server
