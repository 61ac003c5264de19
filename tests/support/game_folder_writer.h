// Made-up game folders for tests: uncompressed zip archives under zips/ and db.zip content below its root.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarkeep::test {

// The files of one zip archive, in central-directory order, stored uncompressed.
class ZipFiles {
public:
    ZipFiles& add(std::string name, std::string text) {
        files_.emplace_back(std::move(name), std::move(text));
        return *this;
    }
    const std::vector<std::pair<std::string, std::string>>& files() const { return files_; }

    void write(const std::filesystem::path& path) const;

private:
    std::vector<std::pair<std::string, std::string>> files_;
};

// A game folder: archives go to <dir>/zips.
class GameFolderWriter {
public:
    explicit GameFolderWriter(std::filesystem::path dir);

    const std::filesystem::path& dir() const { return dir_; }
    std::filesystem::path zips() const { return dir_ / "zips"; }

    // Writes zips/<zip_name>; returns its path.
    std::filesystem::path add_zip(std::string_view zip_name, const ZipFiles& files) const;
    // Writes a file that is not an archive into zips/ (e.g. "notes.zip.bak").
    std::filesystem::path add_other_file(std::string_view name, std::string_view text) const;

private:
    std::filesystem::path dir_;
};

// db.zip content below one root folder: the folder entry first, then files by path
// relative to the root.
class DbZipBuilder {
public:
    explicit DbZipBuilder(std::string root = "DB") : root_(std::move(root)) { files_.add(root_ + "/", ""); }

    DbZipBuilder& add(std::string_view relative, std::string text) {
        files_.add(root_ + "/" + std::string(relative), std::move(text));
        return *this;
    }
    const std::string& root() const { return root_; }
    const ZipFiles& files() const { return files_; }

private:
    std::string root_;
    ZipFiles files_;
};

}  // namespace tarkeep::test
