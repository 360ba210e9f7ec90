// lang::Exception: the base of the exceptions a program is expected to
// handle; adds nothing to lang::Throwable but its type.
#pragma once

#include "lang/Format.h"
#include "lang/Throwable.h"

namespace lang {

class Exception : public Throwable {
 public:
  explicit Exception(const Format& message) : Throwable(message) {}

 protected:
  // Copies the fields of any Throwable, for derived classes that are made
  // from one.
  explicit Exception(const Throwable& t) : Throwable(t) {}
};

}  // namespace lang
