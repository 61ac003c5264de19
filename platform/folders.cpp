// What the folder calls of both platforms share: the throwing form of a path's status.
#include "platform/files.h"

namespace tarkeep::platform {

PathStatus path_status(const std::filesystem::path& path) {
    std::error_code error;
    const PathStatus result = path_status(path, error);
    if (error) throw std::filesystem::filesystem_error("status", path, error);
    return result;
}

}  // namespace tarkeep::platform
