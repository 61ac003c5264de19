// Folder listings, status, creation and removal on Windows through the wide Win32 calls on
// extended-length paths: the C runtime calls under std::filesystem (_wstat64, _wfindfirst)
// stop at 260 characters, and _wstat64 refuses the extended form outright.
#include <windows.h>

#include <string_view>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/win32/held_files.h"
#include "platform/win32/native_path.h"

namespace tarkeep::platform {
namespace fs = std::filesystem;
namespace {

std::error_code native_error(DWORD code) { return {static_cast<int>(code), native_category()}; }

// The codes of a path that names nothing, the ones the standard library counts as "not found".
bool is_not_found(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME ||
           code == ERROR_INVALID_DRIVE || code == ERROR_BAD_NETPATH || code == ERROR_BAD_NET_NAME ||
           code == ERROR_NOT_READY;
}

PathKind kind_of(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::folder;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return PathKind::other;
    return PathKind::file;
}

// The path's own attributes, links not followed. False when it is missing or on an error.
bool own_attributes(const std::wstring& native, WIN32_FILE_ATTRIBUTE_DATA& data, std::error_code& error) {
    error.clear();
    if (GetFileAttributesExW(native.c_str(), GetFileExInfoStandard, &data)) return true;
    const DWORD code = GetLastError();
    if (!is_not_found(code)) error = native_error(code);
    return false;
}

// What a link points at: the target is opened, so a dangling link is missing.
PathStatus link_target_status(const std::wstring& native, std::error_code& error) {
    HANDLE target =
        CreateFileW(native.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (target == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (!is_not_found(code)) error = native_error(code);
        return {};
    }
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(target, &info);
    const DWORD code = GetLastError();
    CloseHandle(target);
    if (!ok) {
        error = native_error(code);
        return {};
    }
    const PathKind kind = kind_of(info.dwFileAttributes);
    const std::uintmax_t size = (std::uintmax_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    return {kind, kind == PathKind::file ? size : 0};
}

// Lists into `entries`; `step` names what failed, in the standard library's words.
void read_folder(const fs::path& folder, std::vector<FolderEntry>& entries, std::error_code& error, const char*& step) {
    error.clear();
    step = "directory iterator cannot open directory";
    if (folder.empty()) {
        error = native_error(ERROR_PATH_NOT_FOUND);
        return;
    }
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileExW(native_path(folder / L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        // Only a folder without even "." and ".." (a drive's empty root) finds nothing at all.
        std::error_code ignored;
        if (code != ERROR_FILE_NOT_FOUND || path_status(folder, ignored).kind != PathKind::folder)
            error = native_error(code);
        return;
    }
    do {
        const std::wstring_view name(found.cFileName);
        if (name == L"." || name == L"..") continue;
        FolderEntry entry{folder / name, kind_of(found.dwFileAttributes)};
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            std::error_code target_error;
            const PathKind target = path_status(entry.path, target_error).kind;
            entry.kind = target_error || target == PathKind::missing ? PathKind::other : target;
        }
        entries.push_back(std::move(entry));
    } while (FindNextFileW(find, &found));
    const DWORD code = GetLastError();
    FindClose(find);
    step = "directory iterator cannot advance";
    if (code != ERROR_NO_MORE_FILES) error = native_error(code);
}

}  // namespace

PathStatus path_status(const fs::path& path, std::error_code& error) {
    const std::wstring native = native_path(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!own_attributes(native, data, error)) return {};
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return link_target_status(native, error);
    const PathKind kind = kind_of(data.dwFileAttributes);
    const std::uintmax_t size = (std::uintmax_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    return {kind, kind == PathKind::file ? size : 0};
}

std::vector<FolderEntry> list_folder(const fs::path& folder, std::error_code& error) {
    std::vector<FolderEntry> entries;
    const char* step = nullptr;
    read_folder(folder, entries, error, step);
    return entries;
}

std::vector<FolderEntry> list_folder(const fs::path& folder) {
    std::vector<FolderEntry> entries;
    std::error_code error;
    const char* step = nullptr;
    read_folder(folder, entries, error, step);
    if (error) throw fs::filesystem_error(step, folder, error);
    return entries;
}

void create_folders(const fs::path& folder) {
    const char* const what = "cannot create directories";
    std::error_code error;
    const PathKind kind = path_status(folder, error).kind;
    if (error) throw fs::filesystem_error(what, folder, error);
    if (kind == PathKind::folder) return;
    if (kind != PathKind::missing)
        throw fs::filesystem_error(what, folder, std::make_error_code(std::errc::not_a_directory));
    const fs::path parent = folder.parent_path();
    if (folder.has_relative_path() && !parent.empty() && parent != folder) create_folders(parent);
    if (!folder.has_filename()) return;  // "a\b\" is "a\b", made above
    if (CreateDirectoryW(native_path(folder).c_str(), nullptr)) return;
    const DWORD code = GetLastError();
    // Another program may have made it meanwhile.
    if (code == ERROR_ALREADY_EXISTS && is_folder(folder)) return;
    throw fs::filesystem_error(what, folder, native_error(code));
}

void remove_path(const fs::path& path, std::error_code& error) {
    const std::wstring native = native_path(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!own_attributes(native, data, error)) return;
    // A link to a folder is a folder entry of its own: removing it leaves the target alone.
    const bool folder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    if (folder ? RemoveDirectoryW(native.c_str()) : DeleteFileW(native.c_str())) return;
    const DWORD code = GetLastError();
    if (!is_not_found(code)) error = native_error(code);
}

void remove_tree(const fs::path& path, std::error_code& error) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!own_attributes(native_path(path), data, error)) return;
    const DWORD attributes = data.dwFileAttributes;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        for (const FolderEntry& entry : list_folder(path, error)) {
            if (error) return;
            remove_tree(entry.path, error);
        }
        if (error) return;
    }
    // A file still held cannot be deleted yet, and a deleted one another program still holds
    // stays in its folder until that program lets go, so the folder is not empty yet either.
    for (std::size_t attempt = 0;; ++attempt) {
        remove_path(path, error);
        const bool may_clear =
            error.category() == native_category() &&
            (held_by_another_program(static_cast<DWORD>(error.value())) || error.value() == ERROR_DIR_NOT_EMPTY);
        if (!error || !wait_to_retry(attempt, may_clear)) return;
    }
}

void remove_tree(const fs::path& path) {
    std::error_code error;
    remove_tree(path, error);
    if (error) throw fs::filesystem_error("cannot remove all", path, error);
}

}  // namespace tarkeep::platform
