#include "io/UnsupportedEncodingException.h"

namespace io {

UnsupportedEncodingException::UnsupportedEncodingException(const lang::Format& message)
    : IOException(message) {}

}  // namespace io
