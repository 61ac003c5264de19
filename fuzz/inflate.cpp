// Differential fuzzing of inflate: the table-driven decoder must give the same bytes, the
// same output-limit stop and the same error text as the plain bit-by-bit decoder.
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "io/inflate.h"
#include "io/zip_error.h"
#include "tests/support/reference_inflate.h"

namespace {

struct Outcome {
    std::vector<std::uint8_t> output;
    std::string error;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first two bytes choose an output limit (0xFFFF: none) and the expected size.
    const std::size_t selector = data[0] | data[1] << 8;
    const std::size_t limit = selector == 0xFFFF ? SIZE_MAX : selector * 64;
    const std::span<const std::uint8_t> stream(data + 2, size - 2);

    Outcome fast, plain;
    try {
        fast.output = tarkeep::io::inflate(stream, selector, limit);
    } catch (const tarkeep::io::ZipError& e) {
        fast.error = e.what();
    }
    try {
        plain.output = tarkeep::test::reference_inflate(stream, limit);
    } catch (const tarkeep::test::ReferenceInflateError& e) {
        plain.error = e.what();
    }
    if (fast.output != plain.output || fast.error != plain.error) {
        std::fprintf(stderr, "mismatch: fast '%s' (%zu bytes), reference '%s' (%zu bytes)\n", fast.error.c_str(),
                     fast.output.size(), plain.error.c_str(), plain.output.size());
        std::abort();
    }
    return 0;
}
