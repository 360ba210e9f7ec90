// printable: a text for the console in which no byte can act on the terminal
// or start a line: the control characters U+0000 to U+001F and U+007F become
// "\x" and two lower-case hex digits ("\x0a" for a newline, "\x1b" for an
// escape); every other byte is kept as it is. File names go through it
// before they are printed, so a name cannot forge a console line.
#pragma once

#include <string>

namespace tool {

// Returns text with its control characters escaped.
std::string printable(const std::string& text);

}  // namespace tool
