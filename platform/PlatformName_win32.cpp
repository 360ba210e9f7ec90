// platform::name on Windows: the system and the architecture this program
// was built for (a 32-bit build runs on 64-bit Windows as well).
#include "platform/PlatformName.h"

namespace platform {

std::string name() { return sizeof(void*) == 8 ? "Windows x64" : "Windows x86"; }

}  // namespace platform
