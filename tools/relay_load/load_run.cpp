#include "tools/relay_load/load_run.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/net.h"
#include "tools/relay_load/bot.h"
#include "tools/relay_load/hostile.h"

namespace tarkeep::relay_load {
namespace {

constexpr std::uint64_t SETUP_LIMIT_US = 30'000'000;
constexpr std::uint64_t DRAIN_US = 10'000'000;  // at most, after the last turn, for bundles in flight

using Bots = std::vector<std::unique_ptr<Bot>>;
using Hostiles = std::vector<std::unique_ptr<HostilePeer>>;

bool is_loopback(const std::string& host) { return host.starts_with("127.") || host == "localhost"; }

std::string source_address(const LoadOptions& options, std::uint32_t index) {
    if (options.per_address == 0 || !is_loopback(options.host)) return {};
    const std::uint32_t n = index / options.per_address + 1;  // 127.0.0.1, .2, ...
    return "127.0." + std::to_string(n / 256) + "." + std::to_string(n % 256);
}

// One poll over every bot, then each is read, plays its due turns and is flushed.
void step(Bots& bots, LoadTotals& totals, std::uint64_t turn_interval_us, const LoadOptions& options) {
    std::vector<platform::PollItem> items;
    items.reserve(bots.size());
    for (const auto& bot : bots) items.push_back({bot->socket().handle(), true, bot->has_unsent()});
    platform::poll_sockets(items, 1);
    for (std::size_t i = 0; i < bots.size(); ++i) {
        Bot& bot = *bots[i];
        if (!bot.alive()) continue;
        if (items[i].readable) bot.receive(totals);
        bot.play(platform::monotonic_microseconds(), turn_interval_us, options.commands, options.hash_every, totals);
        bot.flush();
    }
}

// Hosts create their games as soon as they are welcomed; the others join once the
// host's game has an id.
bool set_up_games(Bots& bots, LoadTotals& totals, const LoadOptions& options, std::string& error) {
    const std::uint64_t deadline = platform::monotonic_microseconds() + SETUP_LIMIT_US;
    std::vector<bool> joined(bots.size(), false);
    while (platform::monotonic_microseconds() < deadline) {
        step(bots, totals, 0, options);
        if (!totals.notices.empty()) {
            // A refusal ("server full", "too many games on this server") never heals.
            error = "the server refused the setup";
            for (const auto& [text, count] : totals.notices) error += "; " + text;
            return false;
        }
        bool all_playing = true;
        for (std::size_t i = 0; i < bots.size(); ++i) {
            if (!bots[i]->alive()) {
                error = "bot " + std::to_string(i + 1) + " lost its connection during setup";
                return false;
            }
            const Bot& host = *bots[i - i % options.players];
            if (!joined[i] && i % options.players != 0 && bots[i]->welcomed() && host.game_id() != 0) {
                bots[i]->join(host.game_id());
                joined[i] = true;
            }
            all_playing = all_playing && bots[i]->playing();
        }
        if (all_playing) return true;
    }
    error = "games not started within 30 s";
    return false;
}

std::string hostile_address(const LoadOptions& options, std::uint32_t index) {
    if (!is_loopback(options.host)) return {};
    const std::uint32_t n = index / 8 + 1;  // 8 per address, as the server allows
    return "127.100." + std::to_string(n / 256) + "." + std::to_string(n % 256);
}

// Plays for the given time beside `hostiles`, then collects the bundles in flight;
// returns the seconds of play. The hostile peers run in a thread of their own, so that
// their connects and sends never delay the honest bots' clocks.
double play(Bots& bots, Hostiles& hostiles, LoadTotals& totals, HostileTotals& hostile_totals,
            const LoadOptions& options) {
    std::atomic<bool> done{false};
    std::thread mischief;
    if (!hostiles.empty())
        mischief = std::thread([&] {
            while (!done) {
                const std::uint64_t now = platform::monotonic_microseconds();
                for (auto& peer : hostiles) peer->step(options.host, options.port, now, hostile_totals);
                platform::sleep_milliseconds(10);  // a sweep is 200 system calls or more
            }
        });
    const std::uint64_t interval_us = static_cast<std::uint64_t>(1e6 / options.turns_per_second);
    const std::uint64_t start = platform::monotonic_microseconds();
    const std::uint64_t end = start + std::uint64_t{options.seconds} * 1'000'000;
    while (platform::monotonic_microseconds() < end) step(bots, totals, interval_us, options);
    const double seconds = (platform::monotonic_microseconds() - start) / 1e6;
    // Collect until every relayed bundle is in (a saturated run has seconds of them in
    // flight) or the drain time is up.
    const std::uint64_t expected = totals.bundles_sent * (options.players - 1);
    const std::uint64_t drained = platform::monotonic_microseconds() + DRAIN_US;
    while (platform::monotonic_microseconds() < drained && totals.bundles_received < expected)
        step(bots, totals, 0, options);
    done = true;
    if (mischief.joinable()) mischief.join();
    return seconds;
}

}  // namespace

LoadReport run_load(const LoadOptions& options, const std::function<void(const std::string&)>& progress) {
    const auto tell = [&](const std::string& text) {
        if (progress) progress(text);
    };
    LoadReport report;
    report.bots = options.clients();
    // The bots' sockets need the network stack (Winsock) started for the whole run.
    if (!platform::network_start(report.error)) return report;
    struct NetworkStop {
        ~NetworkStop() { platform::network_stop(); }
    } network_stop_at_end;
    LoadTotals totals;
    Bots bots;
    for (std::uint32_t i = 0; i < options.clients(); ++i) {
        const std::uint32_t game = i / options.players;
        BotRole role{i % options.players == 0, static_cast<std::uint8_t>(options.players),
                     "load " + std::to_string(game + 1), static_cast<double>(game) / options.games};
        auto bot = std::make_unique<Bot>(std::move(role), "bot " + std::to_string(i + 1));
        if (!bot->connect(options.host, options.port, source_address(options, i), report.error)) return report;
        bots.push_back(std::move(bot));
    }
    tell("connected " + std::to_string(bots.size()) + " bots");
    if (!set_up_games(bots, totals, options, report.error)) return report;
    report.games_started = options.games;
    tell(std::to_string(options.games) + " games running, playing for " + std::to_string(options.seconds) + " s");

    // Count only what arrives during play.
    totals = LoadTotals{};
    Hostiles none;
    HostileTotals hostile_totals;
    report.play_seconds = play(bots, none, totals, hostile_totals, options);
    tell("play over, collecting the last bundles");
    if (options.hostile != 0) {
        LoadTotals round = LoadTotals{};
        Hostiles hostiles;
        for (std::uint32_t i = 0; i < options.hostile; ++i)
            hostiles.push_back(std::make_unique<HostilePeer>(static_cast<HostileKind>(i % kHostileKinds),
                                                             hostile_address(options, i), i + 1));
        tell("second round beside " + std::to_string(options.hostile) + " hostile connections");
        auto& h = report.hostile;
        h.peers = options.hostile;
        h.play_seconds = play(bots, hostiles, round, hostile_totals, options);
        h.bundles_received = round.bundles_received;
        h.expected_bundles = round.bundles_sent * (options.players - 1);
        h.connects = hostile_totals.connects;
        h.closed_by_server = hostile_totals.closed_by_server;
        h.latency = round.latency.summarize();
        for (const auto& [text, count] : round.notices) totals.notices[text] += count;
        totals.order_errors += round.order_errors;
        totals.drops_seen += round.drops_seen;
    }
    for (auto& bot : bots) {
        if (!bot->alive()) ++report.bots_lost;
        bot->say_goodbye();
    }

    report.ok = true;
    report.bundles_sent = totals.bundles_sent;
    report.hashes_sent = totals.hashes_sent;
    report.bundles_received = totals.bundles_received;
    report.hashes_received = totals.hashes_received;
    report.expected_bundles = totals.bundles_sent * (options.players - 1);
    report.order_errors = totals.order_errors;
    report.drops_seen = totals.drops_seen;
    report.notices = std::move(totals.notices);
    report.latency = totals.latency.summarize();
    return report;
}

std::string format_report(const LoadOptions& options, const LoadReport& report) {
    char line[256];
    std::string text;
    const auto add = [&](int length) { text.append(line, static_cast<std::size_t>(std::max(length, 0))); };
    if (!report.ok) return "error: " + report.error + "\n";
    add(std::snprintf(line, sizeof line, "bots: %u in %u games of %u players, %.1f s of play at %.1f turns/s\n",
                      report.bots, options.games, options.players, report.play_seconds, options.turns_per_second));
    add(std::snprintf(line, sizeof line, "sent: %llu bundles, %llu hash reports\n",
                      static_cast<unsigned long long>(report.bundles_sent),
                      static_cast<unsigned long long>(report.hashes_sent)));
    add(std::snprintf(line, sizeof line, "received: %llu of %llu relayed bundles, %llu hash reports\n",
                      static_cast<unsigned long long>(report.bundles_received),
                      static_cast<unsigned long long>(report.expected_bundles),
                      static_cast<unsigned long long>(report.hashes_received)));
    add(std::snprintf(line, sizeof line, "throughput: %.0f bundles/s, %.0f relayed messages/s\n",
                      report.bundles_per_second(), report.relayed_per_second()));
    add(std::snprintf(line, sizeof line, "latency: p50 %.3f ms, p99 %.3f ms, max %.3f ms (%llu samples)\n",
                      report.latency.p50_ms, report.latency.p99_ms, report.latency.max_ms,
                      static_cast<unsigned long long>(report.latency.samples)));
    if (report.order_errors != 0 || report.drops_seen != 0 || report.bots_lost != 0)
        add(std::snprintf(line, sizeof line, "problems: %llu out-of-order turns, %llu drops seen, %u bots lost\n",
                          static_cast<unsigned long long>(report.order_errors),
                          static_cast<unsigned long long>(report.drops_seen), report.bots_lost));
    if (report.hostile.peers != 0) {
        const auto& h = report.hostile;
        add(std::snprintf(line, sizeof line,
                          "beside %u hostile connections (%llu connects, %llu closed by the server), %.1f s:\n",
                          h.peers, static_cast<unsigned long long>(h.connects),
                          static_cast<unsigned long long>(h.closed_by_server), h.play_seconds));
        add(std::snprintf(line, sizeof line, "  received: %llu of %llu relayed bundles\n",
                          static_cast<unsigned long long>(h.bundles_received),
                          static_cast<unsigned long long>(h.expected_bundles)));
        add(std::snprintf(line, sizeof line, "  latency: p50 %.3f ms, p99 %.3f ms, max %.3f ms (%llu samples)\n",
                          h.latency.p50_ms, h.latency.p99_ms, h.latency.max_ms,
                          static_cast<unsigned long long>(h.latency.samples)));
    }
    for (const auto& [notice, count] : report.notices)
        text += "notice x" + std::to_string(count) + ": " + notice + "\n";
    return text;
}

}  // namespace tarkeep::relay_load
