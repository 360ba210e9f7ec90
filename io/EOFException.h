// io::EOFException: the data ended before a value was complete.
// A plain value like every lang::Throwable; it adds only its type.
#pragma once

#include "lang/Format.h"
#include "lang/Throwable.h"
#include "io/IOException.h"

namespace io {

class EOFException : public IOException {
 public:
  explicit EOFException(const lang::Format& message);
};

}  // namespace io
