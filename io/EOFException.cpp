#include "io/EOFException.h"

namespace io {

EOFException::EOFException(const lang::Format& message) : IOException(message) {}

}  // namespace io
