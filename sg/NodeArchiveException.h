// sg::NodeArchiveException: a node archive that the scene graph's own rules
// refuse, as opposed to one the archive library cannot parse. Reading refuses
// node links that would form a ring, links and pointers to objects that are
// not nodes shared on the heap, and nesting beyond the bound of
// sg/NodeLoadSession.h; writing refuses that nesting too.
//
// It is the archive library's exception (callers that catch
// boost::archive::archive_exception catch it, with the same `code`), whose
// what() carries the refusal in its own words, such as "node links form a
// ring", where the library's own text would only say "pointer conflict" or
// "unknown derived exception". Thrown by value; copying never throws.
#pragma once

#include <boost/archive/archive_exception.hpp>

namespace sg {

class NodeArchiveException : public boost::archive::archive_exception {
 public:
  // `message` must outlive every copy of the exception: a string literal.
  NodeArchiveException(exception_code code, const char* message) noexcept
      : boost::archive::archive_exception(code, message), m_message(message) {}

  // The refusal, in the words given to the constructor.
  const char* what() const noexcept override { return m_message; }

 private:
  const char* m_message;  // not owned: a string literal
};

}  // namespace sg
