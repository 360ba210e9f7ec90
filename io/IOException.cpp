#include "io/IOException.h"

namespace io {

IOException::IOException(const lang::Format& message) : lang::Exception(message) {}

IOException::IOException(const lang::Throwable& t) : lang::Exception(t) {}

}  // namespace io
