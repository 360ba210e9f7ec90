// platform::name on POSIX systems: the kernel's own name and machine.
#include "platform/PlatformName.h"

#include <sys/utsname.h>

namespace platform {

std::string name() {
  struct utsname u;
  if (uname(&u) != 0) return "POSIX";
  return std::string(u.sysname) + " " + u.machine;
}

}  // namespace platform
