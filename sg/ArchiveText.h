// Whole XML archives held as text: one object written as a named element of
// an archive, or read back from one.
#pragma once

#include <sstream>
#include <string>

#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/serialization/nvp.hpp>

namespace sg {

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
// boost::archive::archive_exception for malformed text (its XML subclass for
// bad XML, sg::NodeArchiveException for a node graph the scene graph
// refuses); `obj` may then be partly filled (see the classes' own notes).
// What follows the element is not read (see sg/XmlIarchiveRepairs.cpp for the
// closing tag).
template <class T>
void loadArchiveText(const std::string& text, const char* name, T& obj) {
  std::istringstream is(text);
  boost::archive::xml_iarchive ia(is);
  ia >> boost::serialization::make_nvp(name, obj);
}

}  // namespace sg
