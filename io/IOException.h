// io::IOException: a failure of a stream, a file or a byte format.
// A plain value like every lang::Throwable; it adds only its type.
#pragma once

#include "lang/Format.h"
#include "lang/Throwable.h"
#include "lang/Exception.h"

namespace io {

class IOException : public lang::Exception {
 public:
  explicit IOException(const lang::Format& message);
  // Copies the template, arguments and detail of t.
  explicit IOException(const lang::Throwable& t);
};

}  // namespace io
