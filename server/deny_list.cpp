// Parsing deny files and looking addresses up in them.
#include "server/deny_list.h"

#include <algorithm>
#include <stdexcept>

#include "platform/cmdline.h"
#include "platform/file_bytes.h"
#include "platform/files.h"

namespace tarkeep::server {
namespace {

// A decimal number without leading zeros (bar "0" itself), at most `max`.
std::optional<std::uint32_t> parse_small_number(std::string_view text, std::uint32_t max) {
    if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == '0')) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value > max) return std::nullopt;
    return value;
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::string dotted(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
           std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
}

struct ParsedEntry {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
};

// One address or range; the error says what is wrong with it.
std::optional<ParsedEntry> parse_entry(std::string_view entry, std::string& error) {
    const std::size_t slash = entry.find('/');
    const auto address = parse_ipv4(entry.substr(0, slash));
    const auto prefix = slash == std::string_view::npos ? std::optional<std::uint32_t>(32)
                                                        : parse_small_number(entry.substr(slash + 1), 32);
    if (!address || !prefix) {
        error = "not an IPv4 address or range: '" + std::string(entry) + "'";
        return std::nullopt;
    }
    const std::uint32_t host_bits = *prefix == 0 ? ~0u : (1u << (32 - *prefix)) - 1;
    // 10.1.2.3/8 is more likely a typing slip than a wish to shut out 10.0.0.0/8.
    if ((*address & host_bits) != 0) {
        error = "address bits past the prefix in '" + std::string(entry) + "' (the range would be " +
                dotted(*address & ~host_bits) + "/" + std::to_string(*prefix) + ")";
        return std::nullopt;
    }
    return ParsedEntry{*address, *address | host_bits};
}

}  // namespace

std::optional<std::uint32_t> parse_ipv4(std::string_view text) {
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        const bool last = part == 3;
        const std::size_t end = last ? text.size() : text.find('.');
        if (end == std::string_view::npos) return std::nullopt;
        const auto value = parse_small_number(text.substr(0, end), 255);
        if (!value) return std::nullopt;
        address = (address << 8) | *value;
        if (!last) text.remove_prefix(end + 1);
    }
    return address;
}

std::optional<DenyList> DenyList::parse(std::string_view text, std::string& error) {
    DenyList list;
    std::vector<Range> ranges;
    std::size_t line_number = 0;
    while (!text.empty()) {
        ++line_number;
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const std::string_view entry = trimmed(line.substr(0, line.find('#')));
        if (entry.empty()) continue;
        std::string entry_error;
        const auto parsed = parse_entry(entry, entry_error);
        if (!parsed) {
            error = "line " + std::to_string(line_number) + ": " + entry_error;
            return std::nullopt;
        }
        ranges.push_back({parsed->first, parsed->last});
        ++list.entries_;
    }
    std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.first < b.first; });
    for (const Range& range : ranges) {
        const bool joins =
            !list.ranges_.empty() && (list.ranges_.back().last == ~0u || range.first <= list.ranges_.back().last + 1);
        if (joins)
            list.ranges_.back().last = std::max(list.ranges_.back().last, range.last);
        else
            list.ranges_.push_back(range);
    }
    return list;
}

bool DenyList::denies(std::uint32_t address) const {
    // The last range that starts at or below the address is the only one that can hold it.
    const auto after = std::upper_bound(ranges_.begin(), ranges_.end(), address,
                                        [](std::uint32_t value, const Range& range) { return value < range.first; });
    return after != ranges_.begin() && address <= std::prev(after)->last;
}

bool DenyList::denies(std::string_view address) const {
    const auto parsed = parse_ipv4(address);
    return parsed && denies(*parsed);
}

std::optional<DenyList> load_deny_file(const std::string& path, std::string& error) {
    // Only a plain file: a folder would read as empty, a pipe could block the start.
    // The path is UTF-8 from the command line, never the ANSI code page's.
    const std::filesystem::path file = platform::path_from_utf8(path);
    std::vector<std::uint8_t> bytes;
    try {
        if (!platform::file_stamp(file)) throw std::runtime_error("not a file");
        bytes = platform::read_file(file);
    } catch (const std::exception&) {
        error = "cannot read deny file " + path;
        return std::nullopt;
    }
    std::string parse_error;
    auto list =
        DenyList::parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), parse_error);
    if (!list) error = "deny file " + path + " " + parse_error;
    return list;
}

}  // namespace tarkeep::server
