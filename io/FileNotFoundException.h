// io::FileNotFoundException: a file could not be opened.
// A plain value like every lang::Throwable; it adds only its type.
#pragma once

#include "lang/Format.h"
#include "lang/Throwable.h"
#include "io/IOException.h"

namespace io {

class FileNotFoundException : public IOException {
 public:
  explicit FileNotFoundException(const lang::Format& message);
  // Copies the template, arguments and detail of t.
  explicit FileNotFoundException(const lang::Throwable& t);
};

}  // namespace io
