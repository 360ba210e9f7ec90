#include "platform/Console.h"

#include <unistd.h>

namespace platform {

bool StandardErrorIsConsole() { return isatty(STDERR_FILENO) == 1; }

}  // namespace platform
