// The server command line: options, usage text, parse result.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server/server_config.h"

namespace tarkeep::server {

inline constexpr char kUsageText[] =
    "usage: tarkeep_server [--host 0.0.0.0] [--port 26200] [--max-clients 64] [--max-games 16] "
    "[--motd text] [--quiet] [--sim-latency ms] [--sim-jitter ms] [--sim-hold ms] [--sim-hold-every ms] "
    "[--sim-seed n] [--stop-after s]\n";

struct EntryOptions {
    ServerConfig config;
    std::uint32_t stop_after_s = 0;  // 0: run until stopped
};

// The full option list (--help): every option with its default and purpose.
extern const char* const kHelpText;

enum class OptionsStatus { ok, usage, bad_value, help, version };

struct ParsedOptions {
    OptionsStatus status = OptionsStatus::ok;
    EntryOptions options;
    std::string unknown_argument;          // when status is usage
    std::string bad_option;                // as typed, when status is bad_value
    std::optional<std::string> bad_value;  // none when the option came last
};

// What precedes the usage line of a wrong call: "unknown option: X" or
// "bad value for --X: V", line feed included.
std::string usage_error(const ParsedOptions& parsed);

// The command line after the program name. A value option given last takes the empty
// text; numbers are plain decimal digits within the field's range.
ParsedOptions parse_server_options(const std::vector<std::string>& arguments);

}  // namespace tarkeep::server
