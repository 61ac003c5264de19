// The work folder's safety check, its batches of upscaler folders and its removal.
#include "tools/upscale/work_folder.h"

#include "platform/cmdline.h"
#include "platform/files.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

fs::path resolved(const fs::path& path) {
    std::error_code error;
    fs::path full = fs::weakly_canonical(fs::absolute(path), error);
    if (error) full = fs::absolute(path).lexically_normal();
    if (!full.has_filename() && full != full.root_path()) full = full.parent_path();  // drop a trailing separator
    return full;
}

}  // namespace

fs::path work_folder_path(const Args& args, const fs::path& cache_dir, const char* default_name) {
    return args.has_value("--work") ? args.path_value("--work") : cache_dir / default_name;
}

bool is_same_or_inside(const fs::path& inner, const fs::path& outer) {
    const fs::path a = resolved(inner);
    const fs::path b = resolved(outer);
    auto a_part = a.begin();
    for (auto b_part = b.begin(); b_part != b.end(); ++b_part, ++a_part) {
        if (b_part->empty()) continue;
        if (a_part == a.end() || *a_part != *b_part) return false;
    }
    return true;
}

std::string check_work_folder(const fs::path& work, const std::vector<fs::path>& protected_dirs,
                              const std::set<std::string>& own_entries) {
    const std::string prefix = "refusing work folder " + platform::path_to_utf8(work) + ": ";
    const fs::path full = resolved(work);
    if (full == full.root_path()) return prefix + "it is a file-system root";
    for (const fs::path& kept : protected_dirs) {
        if (is_same_or_inside(kept, work))
            return prefix + "it contains " + platform::path_to_utf8(kept) + ", which would be deleted";
    }
    std::error_code error;
    const platform::PathKind kind = platform::path_status(work, error).kind;
    if (error || kind == platform::PathKind::missing) return {};
    if (kind != platform::PathKind::folder) return prefix + "it is not a folder";
    for (const platform::FolderEntry& entry : platform::list_folder(work, error)) {
        const std::string name = platform::path_to_utf8(entry.path.filename());
        if (!own_entries.count(name)) return prefix + "it holds " + name + ", which this tool did not make";
    }
    if (error) return prefix + error.message();
    return {};
}

WorkFolder::WorkFolder(fs::path root, bool keep) : root_(std::move(root)), keep_(keep) {
    platform::remove_tree(root_);
    platform::create_folders(root_);
}

WorkFolder::~WorkFolder() { remove(); }

std::array<std::string, 2> WorkFolder::batch_folder_names(const std::string& name) {
    const std::string suffix = name.empty() ? std::string() : "_" + name;
    return {"in" + suffix, "out" + suffix};
}

UpscalerFolders WorkFolder::add_batch(const std::string& name) {
    const auto [in, out] = batch_folder_names(name);
    UpscalerFolders folders{root_ / platform::path_from_utf8(in), root_ / platform::path_from_utf8(out)};
    platform::create_folders(folders.in);
    platform::create_folders(folders.out);
    return folders;
}

void WorkFolder::remove() {
    if (keep_ || removed_) return;
    removed_ = true;
    std::error_code ignored;
    platform::remove_tree(root_, ignored);
}

}  // namespace tarkeep::upscale
