// The names of the game's asset files in its archives, written once: a texture, its
// player-colour mask and patches, a model and an animation, each from its stem.
#pragma once
#include <string>
#include <string_view>

#include "data/text_lines.h"

namespace tarkeep::data {

inline constexpr std::string_view kTextureSuffix = ".texcache";
inline constexpr std::string_view kMaskSuffix = "_pc.texcache";
inline constexpr std::string_view kPatchSuffix = ".pcpatch";
inline constexpr std::string_view kModelSuffix = ".nifcache";
inline constexpr std::string_view kAnimationSuffix = ".kf";

inline std::string with_suffix(std::string_view stem, std::string_view suffix) {
    std::string name(stem);
    name += suffix;
    return name;
}

// "<stem>.texcache"
inline std::string texture_file(std::string_view stem) { return with_suffix(stem, kTextureSuffix); }
// "<stem>_pc.texcache", the player-colour mask of a model texture or UI sheet.
inline std::string mask_file(std::string_view stem) { return with_suffix(stem, kMaskSuffix); }
// "<stem><letter>.pcpatch", the blocks one player colour replaces.
inline std::string patch_file(std::string_view stem, char letter) {
    return with_suffix(std::string(stem) + letter, kPatchSuffix);
}
// "<name>.nifcache"
inline std::string model_file(std::string_view name) { return with_suffix(name, kModelSuffix); }
// "<name>.kf"
inline std::string animation_file(std::string_view name) { return with_suffix(name, kAnimationSuffix); }

inline bool has_suffix(std::string_view name, std::string_view suffix) {
    return name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
}

// The name without `suffix` when it ends with it, else the whole name.
inline std::string_view without_suffix(std::string_view name, std::string_view suffix) {
    return has_suffix(name, suffix) ? name.substr(0, name.size() - suffix.size()) : name;
}

// The model a user names, bare ("archer") or as an archive path
// ("Models/Units/archer.nifcache"): the last path component without ".nifcache" in any
// letter case.
inline std::string model_name_from_path(std::string_view text) {
    const std::size_t slash = text.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? text : text.substr(slash + 1);
    if (name.size() > kModelSuffix.size() && has_suffix(ascii_lower(name), kModelSuffix))
        name.remove_suffix(kModelSuffix.size());
    return std::string(name);
}

}  // namespace tarkeep::data
