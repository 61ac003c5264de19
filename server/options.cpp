// Parsing the server command line.
#include "server/options.h"

#include <limits>
#include <optional>

namespace tarkeep::server {
namespace {

// Digits only: a sign, blanks or trailing text are refused rather than read the way
// strtoul would (which wraps "-1" to the largest value).
std::optional<std::uint64_t> parse_decimal(const std::string& text, std::uint64_t max) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (max - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

constexpr std::uint64_t kU16Max = std::numeric_limits<std::uint16_t>::max();
constexpr std::uint64_t kU32Max = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t kU64Max = std::numeric_limits<std::uint64_t>::max();

template <typename Field>
bool store(Field& field, const std::string& text, std::uint64_t max) {
    const auto value = parse_decimal(text, max);
    if (!value) return false;
    field = static_cast<Field>(*value);
    return true;
}

// Applies one value option; false for a bad value.
bool apply_value(EntryOptions& options, const std::string& name, const std::string& value) {
    ServerConfig& config = options.config;
    LineSimConfig& sim = config.line_sim;
    if (name == "--host") {
        config.host = value;
        return true;
    }
    if (name == "--motd") {
        config.motd = value;
        return true;
    }
    if (name == "--port") return store(config.port, value, kU16Max);
    if (name == "--max-clients") return store(config.max_clients, value, kU32Max);
    if (name == "--max-games") return store(config.max_games, value, kU32Max);
    if (name == "--sim-latency") return store(sim.latency_ms, value, kU32Max);
    if (name == "--sim-jitter") return store(sim.jitter_ms, value, kU32Max);
    if (name == "--sim-hold") return store(sim.hold_ms, value, kU32Max);
    if (name == "--sim-hold-every") return store(sim.hold_every_ms, value, kU32Max);
    if (name == "--sim-seed") return store(sim.seed, value, kU64Max);
    if (name == "--status-every") return store(config.status_every_s, value, kU32Max);
    if (name == "--deny-file") {
        config.deny_file = value;
        return !value.empty();
    }
    return store(options.stop_after_s, value, kU32Max);  // --stop-after
}

bool is_value_option(const std::string& name) {
    static const char* const names[] = {"--host",           "--port",        "--max-clients", "--max-games",
                                        "--motd",           "--sim-latency", "--sim-jitter",  "--sim-hold",
                                        "--sim-hold-every", "--sim-seed",    "--stop-after",  "--status-every",
                                        "--deny-file"};
    for (const char* option : names)
        if (name == option) return true;
    return false;
}

}  // namespace

ParsedOptions parse_server_options(const std::vector<std::string>& arguments) {
    ParsedOptions parsed;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (name == "--quiet" || name == "--log-date") {
            (name == "--quiet" ? parsed.options.config.quiet : parsed.options.config.log_date) = true;
            continue;
        }
        // Asking for help or the version wins over whatever else the line holds.
        if (name == "--help" || name == "-h" || name == "--version") {
            parsed.status = name == "--version" ? OptionsStatus::version : OptionsStatus::help;
            return parsed;
        }
        if (!is_value_option(name)) {
            parsed.status = OptionsStatus::usage;
            parsed.unknown_argument = name;
            return parsed;
        }
        const bool has_value = i + 1 < arguments.size();
        const std::string value = has_value ? arguments[++i] : std::string();
        if (!apply_value(parsed.options, name, value)) {
            parsed.status = OptionsStatus::bad_value;
            parsed.bad_option = name;
            if (has_value) parsed.bad_value = value;
            return parsed;
        }
    }
    return parsed;
}

std::string usage_error(const ParsedOptions& parsed) {
    if (parsed.status == OptionsStatus::usage) return "unknown option: " + parsed.unknown_argument + "\n";
    return "bad value for " + parsed.bad_option + ": " + parsed.bad_value.value_or("(missing)") + "\n";
}

}  // namespace tarkeep::server
