// The console the process writes to: whether its standard error stream is a
// terminal a person watches (where a progress line may be drawn), as the
// system's GetConsoleMode on the standard error handle tells it. Stand-in
// over the terminal test of the standard error descriptor. Any thread.
#pragma once

namespace platform {

// True when standard error is a terminal (a console), false for a pipe or a
// file or when it is closed.
bool StandardErrorIsConsole();

}  // namespace platform
