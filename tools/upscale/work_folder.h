#pragma once
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace tarkeep::upscale {

// The pipelines delete their work folder before and after a run. A mistyped --work could
// make that delete the user's cache, the game or a whole home folder, so a work folder is
// used only when it is not a file-system root, does not hold any of the `protected_dirs`,
// and, if it already exists, holds nothing but `own_entries` (what earlier runs put there).
// Returns why the folder is refused, empty when it is safe.
std::string check_work_folder(const std::filesystem::path& work, const std::vector<std::filesystem::path>& protected_dirs,
                              const std::set<std::string>& own_entries);

// True when `inner` is `outer` or lies below it (symbolic links resolved where they exist).
bool is_same_or_inside(const std::filesystem::path& inner, const std::filesystem::path& outer);

}  // namespace tarkeep::upscale
