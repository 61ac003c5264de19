// The game database db.zip: exact-path reads and every definition file loaded by type and name.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/ddf_value.h"
#include "io/zip_archive.h"

namespace tarkeep::data {

// A definition as loaded: its body and the file it came from.
struct StoredDefinition {
    DdfValue body;
    std::string source;
};

// The database archive db.zip, addressed by exact path under its root folder, with every
// definition file loaded when it opens.
class GameDb {
public:
    using DefinitionKey = std::pair<std::string, std::string>;  // (type, name)

    // Throws io::ZipError (also "empty archive: " + path for an archive without entries).
    // Files with syntax errors are skipped and recorded in errors().
    explicit GameDb(const std::filesystem::path& db_zip);

    const io::ZipArchive& archive() const { return *archive_; }
    // The first entry's name up to its first '/'.
    const std::string& root() const { return root_; }
    // root() + "/" + relative: the exact entry name of a file below the root.
    std::string path(std::string_view relative) const;
    // Exact-name reads; a missing entry throws io::ZipError "no such entry: " + path.
    std::string read_text(std::string_view entry_name) const { return archive_->read_text(entry_name); }

    // Entries ending in ".ddf" (any letter case), in central-directory order.
    const std::vector<std::string>& definition_files() const { return definition_files_; }
    // The definition files in the order they were parsed (a file may appear twice).
    const std::vector<std::string>& load_order() const { return load_order_; }

    const std::map<DefinitionKey, StoredDefinition>& definitions() const { return definitions_; }
    // The body of (type, name), or nullptr.
    const DdfValue* find_definition(std::string_view type, std::string_view name) const;
    // Names of one type in the order of their first definition.
    const std::vector<std::string>& names_of_type(std::string_view type) const;

    const std::vector<std::string>& errors() const { return errors_; }
    const std::vector<std::string>& warnings() const { return warnings_; }
    // Definitions that replaced an earlier one of the same (type, name).
    std::size_t overrides() const { return overrides_; }

private:
    void load_definitions();
    void add_definition(std::string type, std::string name, DdfValue body, const std::string& source);

    std::unique_ptr<io::ZipArchive> archive_;
    std::string root_;
    std::vector<std::string> definition_files_;
    std::vector<std::string> load_order_;
    std::map<DefinitionKey, StoredDefinition> definitions_;
    std::map<std::string, std::vector<std::string>, std::less<>> names_by_type_;
    std::vector<std::string> errors_;
    std::vector<std::string> warnings_;
    std::size_t overrides_ = 0;
};

// The order in which definition files load: the files that the unit file list names
// (`unit_file_list` is the text of dbunitfiles.cfg, nullptr when there is none), in its
// order and as often as named, then every other definition file in archive order.
std::vector<std::string> definition_load_order(std::string_view root, const std::vector<std::string>& definition_files,
                                               const std::string* unit_file_list);

}  // namespace tarkeep::data
