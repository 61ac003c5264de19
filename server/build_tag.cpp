// The build tag shown in the banner: simulation version and source digest.
#include "server/entry.h"
#include "server/relay_server.h"

#ifndef SOURCE_DIGEST
#error "SOURCE_DIGEST must be defined by the build (64 lower-case hexadecimal digits)"
#endif

namespace tarkeep::server {

namespace {
constexpr char source_digest[] = SOURCE_DIGEST;
static_assert(sizeof source_digest == 65, "SOURCE_DIGEST must hold 64 hexadecimal digits");
}  // namespace

std::string build_tag() { return "sim " + std::to_string(kSimVersion) + " src " + std::string(source_digest, 16); }

}  // namespace tarkeep::server
