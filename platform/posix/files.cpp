// Synced writes and atomic renames on POSIX: write, fsync, rename, and a sync of the folder.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace tarkeep::platform {
namespace {

bool write_all(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Makes the rename itself durable; a folder that cannot be synced is not an error.
void sync_folder(const std::filesystem::path& file) {
    std::filesystem::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

WriteStatus write_file_synced(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return WriteStatus::cannot_open;
    bool ok = write_all(fd, bytes);
    // fsync on a character device (tests write to /dev/full) reports EINVAL: not a failure.
    if (ok && ::fsync(fd) != 0 && errno != EINVAL) ok = false;
    if (::close(fd) != 0) ok = false;
    return ok ? WriteStatus::ok : WriteStatus::write_failed;
}

std::filesystem::path stream_path(const std::filesystem::path& path) { return path; }

void replace_file(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        throw std::filesystem::filesystem_error("rename", from, to, std::error_code(errno, std::generic_category()));
    }
    sync_folder(to);
}

std::optional<FileStamp> file_stamp(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    const std::int64_t written = std::int64_t{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec;
    return FileStamp{written, static_cast<std::uintmax_t>(status.st_size)};
}

}  // namespace tarkeep::platform
