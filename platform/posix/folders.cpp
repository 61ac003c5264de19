// Folder listings, status, creation and removal on POSIX: the standard library reaches
// every path length here, so these only adapt its results.
#include "platform/files.h"

namespace tarkeep::platform {
namespace fs = std::filesystem;
namespace {

PathKind kind_of(const fs::file_status& status) {
    if (fs::is_regular_file(status)) return PathKind::file;
    if (fs::is_directory(status)) return PathKind::folder;
    return fs::exists(status) ? PathKind::other : PathKind::missing;
}

FolderEntry entry_of(const fs::directory_entry& entry) {
    std::error_code error;  // a dangling link lists as `other`
    const fs::file_status status = entry.status(error);
    return {entry.path(), error ? PathKind::other : kind_of(status)};
}

}  // namespace

PathStatus path_status(const fs::path& path, std::error_code& error) {
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) error.clear();
    if (error) return {};
    PathStatus result{kind_of(status), 0};
    if (result.kind == PathKind::file) result.size = fs::file_size(path, error);
    if (error) return {};
    return result;
}

std::vector<FolderEntry> list_folder(const fs::path& folder, std::error_code& error) {
    std::vector<FolderEntry> entries;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) entries.push_back(entry_of(*it));
    return entries;
}

// Iterated on its own rather than through the form above, so that the errors keep the
// standard library's own texts for opening and for advancing.
std::vector<FolderEntry> list_folder(const fs::path& folder) {
    std::vector<FolderEntry> entries;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) entries.push_back(entry_of(entry));
    return entries;
}

void create_folders(const fs::path& folder) { fs::create_directories(folder); }

void remove_path(const fs::path& path, std::error_code& error) { fs::remove(path, error); }

void remove_tree(const fs::path& path) { fs::remove_all(path); }

void remove_tree(const fs::path& path, std::error_code& error) { fs::remove_all(path, error); }

}  // namespace tarkeep::platform
