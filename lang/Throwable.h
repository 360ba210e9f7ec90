// lang::Throwable: the root of the system's exception hierarchy. An
// exception carries a message template with its arguments (lang::Format),
// not finished text, and a detail string that starts empty. Exceptions are
// plain values thrown and copied by value; they have no virtual functions,
// and every derived class adds only its type. Turn one into text for a
// diagnostic with lang::toText.
#pragma once

#include <string>

#include "lang/Format.h"
#include "lang/String.h"

namespace lang {

class Throwable {
 public:
  // m_message becomes a copy of message; m_detail is empty.
  explicit Throwable(const Format& message);

  const Format& getMessage() const { return m_message; }
  const String& getDetail() const { return m_detail; }

 private:
  Format m_message;
  String m_detail;
};

// The message of t as narrow text: toText(t.getMessage()).
std::string toText(const Throwable& t);

}  // namespace lang
