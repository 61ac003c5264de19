// The scratch folder of a pipeline run: the guard that keeps a mistyped --work from deleting
// the user's files, and the folder's life from the prepare phase to the end of the command.
#pragma once
#include <array>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tools/upscale/args.h"

namespace tarkeep::upscale {

// The pipelines delete their work folder before and after a run. A mistyped --work could
// make that delete the user's cache, the game or a whole home folder, so a work folder is
// used only when it is not a file-system root, does not hold any of the `protected_dirs`,
// and, if it already exists, holds nothing but `own_entries` (what earlier runs put there).
// Returns why the folder is refused, empty when it is safe.
std::string check_work_folder(const std::filesystem::path& work,
                              const std::vector<std::filesystem::path>& protected_dirs,
                              const std::set<std::string>& own_entries);

// The work folder a pipeline command uses: "--work", else `default_name` inside the cache
// folder. The model and UI builds each have their own, so that a folder one keeps
// (--keep-work) never blocks the other in a shared cache.
std::filesystem::path work_folder_path(const Args& args, const std::filesystem::path& cache_dir,
                                       const char* default_name);

// True when `inner` is `outer` or lies below it (symbolic links resolved where they exist).
bool is_same_or_inside(const std::filesystem::path& inner, const std::filesystem::path& outer);

// Where one upscaler batch reads its inputs and writes its outputs.
struct UpscalerFolders {
    std::filesystem::path in;
    std::filesystem::path out;
};

// A checked work folder for one command: emptied when made, removed when the command ends
// (also through an exception) unless the user keeps it. Holds one in/out pair per batch.
class WorkFolder {
public:
    WorkFolder(std::filesystem::path root, bool keep);
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // The folder names of a batch: "in" and "out", or "in_<name>" and "out_<name>" when named.
    static std::array<std::string, 2> batch_folder_names(const std::string& name);
    // Creates and returns the batch's folders.
    UpscalerFolders add_batch(const std::string& name = {});
    const std::filesystem::path& root() const { return root_; }
    void remove();

private:
    std::filesystem::path root_;
    bool keep_;
    bool removed_ = false;
};

}  // namespace tarkeep::upscale
