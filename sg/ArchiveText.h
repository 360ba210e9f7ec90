// Whole XML archives held as text: one object written as a named element, or
// read back from one.
//
// Prefer these to making the archive objects by hand: the input archive's
// destructor reads the archive's closing tag and, when that fails, throws out
// of a destructor, which ends the program. loadArchiveText checks the closing
// tag itself first and throws an ordinary exception instead.
#pragma once

#include <sstream>
#include <string>

#include <boost/archive/xml_archive_exception.hpp>
#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/serialization/nvp.hpp>

namespace sg {

// True when `rest` (what follows the last element of an archive) is the
// archive's closing tag, with optional white space around it.
bool isArchiveTrailer(const std::string& rest);

// The archive text of `obj` written as the element `name`. Throws the
// archive's exceptions (for example for a non-finite float, or a node pointer
// to a class without a pointer form).
template <class T>
std::string saveArchiveText(const char* name, const T& obj) {
  std::ostringstream os;
  {
    boost::archive::xml_oarchive oa(os);
    oa << boost::serialization::make_nvp(name, obj);
  }
  return os.str();
}

// Reads the element `name` of the archive `text` into `obj`. Throws
// boost::archive::archive_exception (or its XML subclass) for any malformed
// text, including a missing or damaged closing tag; `obj` may then be partly
// filled (see the classes' own notes).
template <class T>
void loadArchiveText(const std::string& text, const char* name, T& obj) {
  std::istringstream is(text);
  boost::archive::xml_iarchive ia(is);
  ia >> boost::serialization::make_nvp(name, obj);
  const std::streampos at = is.tellg();
  if (at < 0 || !isArchiveTrailer(text.substr(static_cast<size_t>(at)))) {
    throw boost::archive::xml_archive_exception(
        boost::archive::xml_archive_exception::xml_archive_tag_mismatch, "boost_serialization");
  }
}

}  // namespace sg
