// What the caches key their results on: FNV-1a hashes of sources and the settings strings.
#pragma once
#include <cstdint>
#include <filesystem>
#include <istream>
#include <span>
#include <string>
#include <string_view>

#include "io/checksum.h"

namespace tarkeep::upscale {

using io::Fnv1a64;

// The cache folder's file `name` (UTF-8, e.g. "<stem>.png").
std::filesystem::path cache_file(const std::filesystem::path& cache_dir, const std::string& name);

// Why `stem` cannot name a file of its own in a folder (empty, ".", "..", a path
// separator, a drive colon, a control
// byte, a character Windows refuses, or a Windows device name such as "con"); empty when it can. Archive keys and
// user-given names both become cache paths, so both are checked.
std::string stem_problem(std::string_view stem);

// True when `name` can name a file of its own; else false after the line
// "warning: texture name \"<name>\" <problem>: skipped" on standard error.
bool usable_file_name(const std::string& name);

// A hash as 16 lower-case hexadecimal digits.
std::string hash_hex(std::uint64_t hash);

// The FNV-1a hash of a source file's bytes, as 16 lower-case hexadecimal digits.
std::string source_hash(std::span<const std::uint8_t> bytes);

// One line of a manifest: lines end in "\n"; a "\r" before it (a file edited on Windows)
// is not part of the line. False at the end of the file.
bool read_manifest_line(std::istream& in, std::string& line);

// Which pipeline family a cache folder belongs to, told by the first line of its
// manifest.txt: none when there is no manifest or its first line is neither family's.
enum class CacheFamily { none, terrain, models };
CacheFamily cache_family(const std::filesystem::path& cache_dir);

// A text field of a manifest line: blanks, control bytes and '%' become "%XX" so that
// the line still splits into its fields; other bytes stay as they are. Unescaping turns
// only "%" and two hexadecimal digits back, so older lines read unchanged.
std::string escape_manifest_field(const std::string& text);
std::string unescape_manifest_field(const std::string& text);

// Round to the nearest integer, halves away from zero.
long long round_half_away(double value);

// What shaped a terrain result, e.g. "m64-bp3x50-db0": margin, back-projection passes and
// strength in hundredths, the deblock threshold (0 when off), "-dr" and the dering margin
// only when deringing (dering >= 0, so that caches made without it stay valid), "-tta",
// and the upscaler suffix.
std::string terrain_settings_string(int margin, int passes, double strength, bool deblock, int deblock_threshold,
                                    int dering, bool tta, const std::string& upscaler_suffix);

}  // namespace tarkeep::upscale
