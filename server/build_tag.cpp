// The build tag shown in the banner: simulation version and source digest.
#include "server/entry.h"
#include "server/relay_server.h"

#ifndef TARKEEP_VERSION
#error "TARKEEP_VERSION must be defined by the build (the project's version)"
#endif
#ifndef SOURCE_DIGEST
#error "SOURCE_DIGEST must be defined by the build (64 lower-case hexadecimal digits)"
#endif

namespace tarkeep::server {

namespace {
constexpr char source_digest[] = SOURCE_DIGEST;
static_assert(sizeof source_digest == 65, "SOURCE_DIGEST must hold 64 hexadecimal digits");
}  // namespace

std::string build_tag() { return "sim " + std::to_string(kSimVersion) + " src " + std::string(source_digest, 16); }

std::string version_line() { return std::string("tarkeep_server ") + TARKEEP_VERSION + " (" + build_tag() + ")\n"; }

std::string banner_note(bool line_simulation_on) {
    return std::string("version ") + TARKEEP_VERSION + "; \"sim " + std::to_string(kSimVersion) +
           "\" is the version of the test-mode line simulation (" +
           (line_simulation_on ? "on: see the TEST MODE line" : "off") +
           "), \"src\" the start of the digest of the server's sources\n";
}

}  // namespace tarkeep::server
