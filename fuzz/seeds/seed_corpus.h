// Seed corpora for the fuzz targets, made by code from the project's own writers: small,
// valid, varied inputs in each target's input layout, so that fuzzing starts deep.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tarkeep::fuzz {

struct Seed {
    std::string name;  // file name in the target's corpus folder
    std::vector<std::uint8_t> bytes;
};

// Fuzz target name (its source file's stem) -> its seeds.
using SeedCorpora = std::map<std::string, std::vector<Seed>>;

SeedCorpora seed_corpora();

// The parts, one per family of formats.
std::vector<Seed> message_seeds();
std::vector<Seed> png_seeds();
std::vector<Seed> inflate_seeds();
std::vector<Seed> zip_seeds();
std::vector<Seed> ddf_seeds();
std::vector<Seed> csv_seeds();
std::vector<Seed> nif_seeds();
std::vector<Seed> export_model_seeds();
std::vector<Seed> texcache_seeds();
std::vector<Seed> pcpatch_seeds();

// A seed of a target whose first byte chooses how the rest is read.
Seed mode_seed(std::string name, std::uint8_t mode, const std::vector<std::uint8_t>& rest);
std::vector<std::uint8_t> text_bytes(const std::string& text);

}  // namespace tarkeep::fuzz
