// Counting alike log lines per second and folding the excess.
#include "server/log_folding.h"

#include "server/microseconds.h"

namespace tarkeep::server {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string log_line_kind(std::string_view text) {
    std::string kind;
    kind.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (!is_digit(text[i])) {
            kind += text[i++];
            continue;
        }
        // "203.0.113.5:51234" and "17" alike become one mark.
        while (i < text.size() && (is_digit(text[i]) || ((text[i] == '.' || text[i] == ':') && i + 1 < text.size() &&
                                                         is_digit(text[i + 1]))))
            ++i;
        kind += '#';
    }
    return kind;
}

bool LogFolding::admit(std::string_view text, std::uint64_t now_us) {
    const std::uint64_t second = now_us / kMicrosecondsPerSecond;
    if (second != second_) {
        // Anything still held from an earlier second was not taken: start afresh.
        kinds_.clear();
        held_kinds_.clear();
        second_ = second;
    }
    std::string key = log_line_kind(text);
    Kind& kind = kinds_[key];
    if (++kind.lines <= kLinesPerKind) return true;
    if (kind.lines == kLinesPerKind + 1) {
        kind.first_held = std::string(text);
        held_kinds_.push_back(std::move(key));
    }
    return false;
}

std::vector<std::string> LogFolding::take_folded(std::uint64_t now_us) {
    std::vector<std::string> lines;
    if (now_us / kMicrosecondsPerSecond == second_) return lines;
    for (const std::string& key : held_kinds_) {
        const Kind& kind = kinds_.at(key);
        const std::uint64_t more = kind.lines - kLinesPerKind - 1;
        lines.push_back(more == 0 ? kind.first_held
                                  : kind.first_held + " ... and " + std::to_string(more) + " more like it");
    }
    kinds_.clear();
    held_kinds_.clear();
    second_ = now_us / kMicrosecondsPerSecond;
    return lines;
}

}  // namespace tarkeep::server
