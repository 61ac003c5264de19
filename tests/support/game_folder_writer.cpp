// Writing game folders: zip files of stored entries and extra files beside them.
#include "tests/support/game_folder_writer.h"

#include "io/zip_writer.h"
#include "platform/file_bytes.h"
#include "platform/files.h"
#include "tests/support/text_bytes.h"

namespace tarkeep::test {

void ZipFiles::write(const std::filesystem::path& path) const {
    io::ZipWriter writer;
    for (const auto& [name, text] : files_) writer.add_stored(name, text);
    writer.write(path);
}

GameFolderWriter::GameFolderWriter(std::filesystem::path dir) : dir_(std::move(dir)) {
    platform::create_folders(zips());
}

std::filesystem::path GameFolderWriter::add_zip(std::string_view zip_name, const ZipFiles& files) const {
    const std::filesystem::path path = zips() / std::string(zip_name);
    files.write(path);
    return path;
}

std::filesystem::path GameFolderWriter::add_other_file(std::string_view name, std::string_view text) const {
    const std::filesystem::path path = zips() / std::string(name);
    platform::write_file(path, bytes_of(text));
    return path;
}

}  // namespace tarkeep::test
