// Opening db.zip: the definition files loaded in unit-file-list order, later definitions replacing earlier.
#include "data/game_db.h"

#include <unordered_map>
#include <unordered_set>

#include "data/ddf_parser.h"
#include "data/text_lines.h"
#include "platform/cmdline.h"

namespace tarkeep::data {
namespace {

std::string root_of(std::string_view first_entry) { return std::string(first_entry.substr(0, first_entry.find('/'))); }

bool is_definition_file(std::string_view name) {
    return name.size() >= 4 && ascii_lower(name.substr(name.size() - 4)) == ".ddf";
}

// The unit file list as entry names, lower-cased, with '\' turned into '/'.
std::vector<std::string> listed_files(const std::string& text) {
    std::vector<std::string> files;
    for (std::string_view line : split_lines(text)) {
        line = strip_chars(strip_text_space(line), "\"");
        if (line.empty() || line.starts_with("//")) continue;
        std::string file(line);
        for (char& c : file) {
            if (c == '\\') c = '/';
        }
        files.push_back(std::move(file));
    }
    return files;
}

}  // namespace

std::vector<std::string> definition_load_order(std::string_view root, const std::vector<std::string>& definition_files,
                                               const std::string* unit_file_list) {
    std::vector<std::string> order;
    std::unordered_set<std::string> loaded;
    if (unit_file_list) {
        std::unordered_map<std::string, std::string> by_lower_name;
        for (const std::string& name : definition_files) by_lower_name.insert_or_assign(ascii_lower(name), name);
        const std::string lower_root = ascii_lower(root) + "/";
        for (const std::string& listed : listed_files(*unit_file_list)) {
            std::string wanted = ascii_lower(listed);
            if (const std::size_t at = wanted.find("db/"); at != std::string::npos) {
                wanted.replace(at, 3, lower_root);
            }
            if (const auto it = by_lower_name.find(wanted); it != by_lower_name.end()) {
                order.push_back(it->second);
                loaded.insert(it->second);
            }
        }
    }
    for (const std::string& name : definition_files) {
        if (loaded.insert(name).second) order.push_back(name);
    }
    return order;
}

GameDb::GameDb(const std::filesystem::path& db_zip) : archive_(std::make_unique<io::ZipArchive>(db_zip)) {
    const auto& entries = archive_->entries();
    if (entries.empty()) throw io::ZipError("empty archive: " + platform::path_to_utf8(db_zip));
    root_ = root_of(entries.front().name);
    for (const io::ZipEntry& entry : entries) {
        if (is_definition_file(entry.name)) definition_files_.push_back(entry.name);
    }
    load_definitions();
}

std::string GameDb::path(std::string_view relative) const { return root_ + "/" + std::string(relative); }

void GameDb::load_definitions() {
    const std::string list_path = path("dbunitfiles.cfg");
    std::string list_text;
    const bool has_list = archive_->find(list_path).has_value();
    if (has_list) list_text = archive_->read_text(list_path);
    load_order_ = definition_load_order(root_, definition_files_, has_list ? &list_text : nullptr);

    for (const std::string& file : load_order_) {
        const std::string text = archive_->read_text(file);
        std::vector<DdfDefinition> parsed;
        try {
            parsed = parse_ddf(text, file, &warnings_);
        } catch (const DdfError& error) {
            errors_.push_back(error.what());
            continue;
        }
        for (DdfDefinition& definition : parsed) {
            add_definition(std::move(definition.type), std::move(definition.name), std::move(definition.body), file);
        }
    }
}

void GameDb::add_definition(std::string type, std::string name, DdfValue body, const std::string& source) {
    auto [it, inserted] = definitions_.try_emplace({type, name});
    if (inserted) {
        names_by_type_[std::move(type)].push_back(std::move(name));
    } else {
        ++overrides_;
    }
    it->second.body = std::move(body);
    it->second.source = source;
}

const DdfValue* GameDb::find_definition(std::string_view type, std::string_view name) const {
    const auto it = definitions_.find({std::string(type), std::string(name)});
    return it == definitions_.end() ? nullptr : &it->second.body;
}

const std::vector<std::string>& GameDb::names_of_type(std::string_view type) const {
    static const std::vector<std::string> no_names;
    const auto it = names_by_type_.find(type);
    return it == names_by_type_.end() ? no_names : it->second;
}

}  // namespace tarkeep::data
