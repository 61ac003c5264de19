// The console: whether standard error is an interactive terminal, and UTF-8 output.
#pragma once

namespace tarkeep::platform {

// True when standard error is an interactive terminal (progress lines are shown only then).
bool stderr_is_terminal();

// Makes a console show the UTF-8 bytes the program writes: on Windows, when standard
// output or error is a console, its output code page becomes UTF-8 and the previous one
// is put back at exit (the code page belongs to the console, which the shell that
// started us keeps using). Returns the previous code page, 0 when nothing was changed
// (no console, or a system whose terminals take UTF-8 as they are).
unsigned use_utf8_console();

}  // namespace tarkeep::platform
