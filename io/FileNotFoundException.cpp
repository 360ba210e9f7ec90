#include "io/FileNotFoundException.h"

namespace io {

FileNotFoundException::FileNotFoundException(const lang::Format& message) : IOException(message) {}

FileNotFoundException::FileNotFoundException(const lang::Throwable& t) : IOException(t) {}

}  // namespace io
