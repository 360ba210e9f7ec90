// StandardErrorIsConsole of Console.h on the system's GetConsoleMode: only a
// console has a mode; a pipe, a file or a closed handle has none.
#include "platform/Console.h"
#include "platform/Win32.h"

namespace platform {

bool StandardErrorIsConsole() {
  const ::HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  ::DWORD mode = 0;
  return error != nullptr && error != INVALID_HANDLE_VALUE && ::GetConsoleMode(error, &mode) != 0;
}

}  // namespace platform
