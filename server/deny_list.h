// Addresses the server shuts out at accept: IPv4 addresses and CIDR ranges from a text file.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarkeep::server {

// "a.b.c.d" with each part a decimal number of 0 to 255 written without leading zeros
// (010 could mean eight or ten, so it is refused).
std::optional<std::uint32_t> parse_ipv4(std::string_view text);

// A set of IPv4 addresses, kept as sorted, merged ranges so a lookup is a binary search.
class DenyList {
public:
    // The text of a deny file: one address ("203.0.113.5") or range ("203.0.113.0/24") a
    // line, blank lines and everything after a '#' ignored. On a malformed line, `error`
    // names the line and the result is empty.
    static std::optional<DenyList> parse(std::string_view text, std::string& error);

    // `address` as the peer text shows it ("a.b.c.d"); text that is no address is not denied.
    bool denies(std::string_view address) const;
    bool denies(std::uint32_t address) const;
    bool empty() const { return ranges_.empty(); }
    // Lines that named an address or range.
    std::size_t entries() const { return entries_; }

private:
    struct Range {
        std::uint32_t first = 0;
        std::uint32_t last = 0;
    };
    std::vector<Range> ranges_;  // sorted by first, not overlapping
    std::size_t entries_ = 0;
};

// Reads and parses the deny file at `path`; `error` says which file and why when it fails.
std::optional<DenyList> load_deny_file(const std::string& path, std::string& error);

}  // namespace tarkeep::server
