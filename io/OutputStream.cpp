#include "io/OutputStream.h"

namespace io {

void OutputStream::close() {}

void OutputStream::flush() {}

}  // namespace io
