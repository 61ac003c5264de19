// The game's zip archives as one lookup by file name, the last-sorting archive winning.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "io/zip_archive.h"

namespace tarkeep::data {

// The entry that marks an archive as an HD pack written by this tool (--hd-pack): it names
// the cache records the pack was made from. The game reads such a pack like its own
// archives; the tool must not, or a rerun would take its own HD textures for sources.
inline constexpr const char* kHdPackMarkerEntry = "tarkeep_hd_pack.txt";

// Whether archives holding kHdPackMarkerEntry are left out of the lookup.
enum class HdPacks { skip, read };

// Every zip archive of <game dir>/zips as one lookup by lower-case file name. When
// several entries share a file name, the archive whose name sorts last (by bytes) wins,
// and within one archive the later central-directory record.
class GameArchives {
public:
    struct Location {
        std::size_t archive = 0;  // position in archives()
        std::string entry;        // entry name as stored
    };

    // Throws io::ZipError for an unreadable archive and std::filesystem::filesystem_error
    // when the zips folder cannot be listed.
    // With HdPacks::skip (the tool's own reading) the HD packs are left out and named by
    // skipped_packs(); HdPacks::read sees the archives as the game does.
    explicit GameArchives(std::filesystem::path game_dir, HdPacks packs = HdPacks::skip);

    const std::filesystem::path& root() const { return root_; }
    const std::vector<std::pair<std::string, std::unique_ptr<io::ZipArchive>>>& archives() const { return archives_; }

    // Queries are bare file names, matched with ASCII letters lower-cased.
    bool contains(std::string_view file_name) const;
    const Location* find(std::string_view file_name) const;
    // Throws io::ZipError "file not found in game archives: " + name, or a read error.
    std::vector<std::uint8_t> read(std::string_view file_name) const;
    // The file's bytes, or none when the archives do not hold it (an optional companion
    // such as a player-colour mask).
    std::vector<std::uint8_t> read_or_empty(std::string_view file_name) const;

    // Every key, sorted by bytes.
    std::vector<std::string> keys() const;

    // The file names of the HD packs left out, in name order.
    const std::vector<std::string>& skipped_packs() const { return skipped_packs_; }

private:
    std::filesystem::path root_;
    std::vector<std::string> skipped_packs_;
    std::vector<std::pair<std::string, std::unique_ptr<io::ZipArchive>>> archives_;
    std::unordered_map<std::string, Location> lookup_;
};

// The lookup key of an entry name: the part after the last '/', ASCII lower-cased.
// Backslashes are not separators.
std::string archive_key(std::string_view entry_name);

}  // namespace tarkeep::data
