// The name of the platform this build runs on, for the tool's version line
// ("Linux x86_64", "Windows x64"). Thread-safe; no state.
#pragma once

#include <string>

namespace platform {

// The operating system and processor architecture, as short text; never
// empty.
std::string name();

}  // namespace platform
