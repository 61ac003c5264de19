// Commands whose implementation has not landed yet. Each ends through the error path
// with a plain message; remove a command from here when its real implementation lands.
#include <stdexcept>

#include "tools/upscale/commands.h"

namespace tarkeep::upscale {
namespace {

[[noreturn]] void not_available(const char* command) {
    throw std::runtime_error(std::string(command) + " is not available yet");
}

}  // namespace

int cmd_models_glb(const Args&) { not_available("--models-glb"); }

}  // namespace tarkeep::upscale
