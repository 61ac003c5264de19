// Definition files from untrusted bytes: parsing must either succeed or throw DdfError,
// and whatever it returns must have well-formed canonical keys.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/ddf_parser.h"
#include "data/ddf_tokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tarkeep::data::tokenize_ddf(text);
    std::vector<std::string> warnings;
    try {
        for (const auto& definition : tarkeep::data::parse_ddf(text, "fuzz.ddf", &warnings)) {
            const std::string key = tarkeep::data::value_key(definition.body);
            if (key.empty() || key.front() != '{' || key.back() != '}') __builtin_trap();
        }
    } catch (const tarkeep::data::DdfError&) {}
    return 0;
}
