// Gathers the seed corpora of every fuzz target.
#include "fuzz/seeds/seed_corpus.h"

namespace tarkeep::fuzz {

SeedCorpora seed_corpora() {
    return {{"decode_message", message_seeds()}, {"decode_png", png_seeds()}, {"export_model", export_model_seeds()},
            {"inflate", inflate_seeds()},        {"parse_ddf", ddf_seeds()},  {"pcpatch", pcpatch_seeds()},
            {"read_csv_table", csv_seeds()},     {"read_nif", nif_seeds()},   {"texcache", texcache_seeds()},
            {"zip_archive", zip_seeds()}};
}

Seed mode_seed(std::string name, std::uint8_t mode, const std::vector<std::uint8_t>& rest) {
    Seed seed{std::move(name), {mode}};
    seed.bytes.insert(seed.bytes.end(), rest.begin(), rest.end());
    return seed;
}

std::vector<std::uint8_t> text_bytes(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace tarkeep::fuzz
