// Whether standard error is an interactive terminal, which decides if progress lines are shown.
#pragma once

namespace tarkeep::platform {

// True when standard error is an interactive terminal (progress lines are shown only then).
bool stderr_is_terminal();

}  // namespace tarkeep::platform
