// io::UnsupportedEncodingException: an encoding name that lang::Encoding
// does not know.
// A plain value like every lang::Throwable; it adds only its type.
#pragma once

#include "lang/Format.h"
#include "lang/Throwable.h"
#include "io/IOException.h"

namespace io {

class UnsupportedEncodingException : public IOException {
 public:
  explicit UnsupportedEncodingException(const lang::Format& message);
};

}  // namespace io
