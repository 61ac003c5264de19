#pragma once

namespace tarkeep::platform {

// True when standard error is an interactive terminal (progress lines are shown only then).
bool stderr_is_terminal();

}  // namespace tarkeep::platform
