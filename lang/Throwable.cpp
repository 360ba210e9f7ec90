#include "lang/Throwable.h"

namespace lang {

Throwable::Throwable(const Format& message) { m_message = message; }

std::string toText(const Throwable& t) { return toText(t.getMessage()); }

}  // namespace lang
