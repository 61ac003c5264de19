// Folding floods of alike log lines (a port scan, a reconnect storm) into one line.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarkeep::server {

// What makes two log lines alike: the text with every number, address and port left out.
std::string log_line_kind(std::string_view text);

// Counts log lines by kind within each second of the server clock. Past kLinesPerKind
// lines of one kind in a second, the rest of that second is held back and told in one
// line when a later second begins: the first held line followed by " ... and N more
// like it" (just the line when it was the only one).
class LogFolding {
public:
    static constexpr std::uint64_t kLinesPerKind = 10;

    // True when the line is to be written now; false when it is held back.
    bool admit(std::string_view text, std::uint64_t now_us);
    // Once a second is over, the lines that stand for what it held back (in the order
    // their kinds were first held back); nothing while `now_us` is in the same second.
    std::vector<std::string> take_folded(std::uint64_t now_us);

private:
    struct Kind {
        std::uint64_t lines = 0;
        std::string first_held;
    };
    std::uint64_t second_ = 0;
    std::unordered_map<std::string, Kind> kinds_;  // of the current second
    std::vector<std::string> held_kinds_;          // kinds with lines held back, in order
};

}  // namespace tarkeep::server
