// The asset tool's --help page: every command with its arguments, every option with its default.
#pragma once

namespace tarkeep::upscale {

extern const char* const kHelpText;

}  // namespace tarkeep::upscale
