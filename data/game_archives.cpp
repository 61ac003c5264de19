// Indexing every zip archive of the game folder by lower-cased file name, and reading through it.
#include "data/game_archives.h"

#include <algorithm>

#include "data/text_lines.h"
#include "platform/cmdline.h"
#include "platform/files.h"

namespace tarkeep::data {
namespace {

std::vector<std::string> list_zip_names(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const platform::FolderEntry& entry : platform::list_folder(folder)) {
        // A folder (or a link to one, a pipe...) named "x.zip" is no archive; opening it
        // would fail every command.
        if (entry.kind != platform::PathKind::file) continue;
        std::string name = platform::path_to_utf8(entry.path.filename());
        if (ascii_lower(name).ends_with(".zip")) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

std::string archive_key(std::string_view entry_name) {
    const std::size_t slash = entry_name.rfind('/');
    return ascii_lower(slash == std::string_view::npos ? entry_name : entry_name.substr(slash + 1));
}

GameArchives::GameArchives(std::filesystem::path game_dir, HdPacks packs) : root_(std::move(game_dir)) {
    const std::filesystem::path folder = root_ / "zips";
    for (std::string& name : list_zip_names(folder)) {
        auto archive = std::make_unique<io::ZipArchive>(folder / platform::path_from_utf8(name));
        if (packs == HdPacks::skip && archive->find(kHdPackMarkerEntry)) {
            skipped_packs_.push_back(std::move(name));
            continue;
        }
        archives_.emplace_back(std::move(name), std::move(archive));
    }
    for (std::size_t number = 0; number < archives_.size(); ++number) {
        for (const io::ZipEntry& entry : archives_[number].second->entries()) {
            lookup_.insert_or_assign(archive_key(entry.name), Location{number, entry.name});
        }
    }
}

const GameArchives::Location* GameArchives::find(std::string_view file_name) const {
    const auto it = lookup_.find(ascii_lower(file_name));
    return it == lookup_.end() ? nullptr : &it->second;
}

bool GameArchives::contains(std::string_view file_name) const { return find(file_name) != nullptr; }

std::vector<std::uint8_t> GameArchives::read(std::string_view file_name) const {
    const Location* location = find(file_name);
    if (!location) {
        throw io::ZipError("file not found in game archives: " + std::string(file_name));
    }
    return archives_[location->archive].second->read(location->entry);
}

std::vector<std::uint8_t> GameArchives::read_or_empty(std::string_view file_name) const {
    const Location* location = find(file_name);
    return location ? archives_[location->archive].second->read(location->entry) : std::vector<std::uint8_t>();
}

std::vector<std::string> GameArchives::keys() const {
    std::vector<std::string> keys;
    keys.reserve(lookup_.size());
    for (const auto& [key, location] : lookup_) keys.push_back(key);
    std::sort(keys.begin(), keys.end());
    return keys;
}

}  // namespace tarkeep::data
