// Splitting and quoting command lines by Windows' CommandLineToArgvW rules, on every system.
#include "platform/process.h"

namespace tarkeep::platform {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> split_command_line(std::string_view line) {
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = line.size();

    // The program name takes no escapes: a quoted one ends at the next quote.
    std::string program;
    if (i < n && line[i] == '"') {
        ++i;
        while (i < n && line[i] != '"') program += line[i++];
        if (i < n) ++i;
    } else {
        while (i < n && !is_blank(line[i])) program += line[i++];
    }
    args.push_back(std::move(program));

    while (i < n && is_blank(line[i])) ++i;
    if (i == n) return args;

    std::string current;
    std::size_t backslashes = 0;
    int quotes = 0;  // 0 outside quotes, 1 inside
    while (i < n) {
        const char c = line[i];
        if (is_blank(c) && quotes == 0) {
            args.push_back(std::move(current));
            current.clear();
            while (i < n && is_blank(line[i])) ++i;
            backslashes = 0;
            if (i == n) return args;
            continue;
        }
        if (c == '\\') {
            current += c;
            ++backslashes;
            ++i;
            continue;
        }
        if (c == '"') {
            if (backslashes % 2 == 0) {
                current.resize(current.size() - backslashes / 2);
                ++quotes;
            } else {
                current.resize(current.size() - backslashes / 2 - 1);
                current += '"';
            }
            ++i;
            backslashes = 0;
            // A run of quotes: the third in a row (counting the opening one) is literal.
            while (i < n && line[i] == '"') {
                if (++quotes == 3) {
                    current += '"';
                    quotes = 0;
                }
                ++i;
            }
            if (quotes == 2) quotes = 0;
            continue;
        }
        current += c;
        backslashes = 0;
        ++i;
    }
    args.push_back(std::move(current));
    return args;
}

std::string quote_argument(std::string_view argument) {
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

}  // namespace tarkeep::platform
