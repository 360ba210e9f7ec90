// Test helpers: write one object as a named element of an XML archive and read
// it back, and the archive text of hand-written elements.
#pragma once

#include <sstream>
#include <string>

#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/serialization/nvp.hpp>

#include "sg/ArchiveText.h"
#include "testing/XmlTree.h"

namespace xmdtest {

// The archive text of `obj` written as the element `name`.
template <class T>
std::string saveXml(const char* name, const T& obj) {
  return sg::saveArchiveText(name, obj);
}

// Reads the element `name` of `xml` into `obj`; throws what the archive throws.
template <class T>
void loadXml(const std::string& xml, const char* name, T& obj) {
  sg::loadArchiveText(xml, name, obj);
}

// The element `name` of the archive text `xml`.
inline XmlElement elementOf(const std::string& xml, const std::string& name) {
  return parseXml(xml).child(name);
}

// A complete archive around `body` (elements as the archive library writes
// them), for hand-made and malformed inputs.
inline std::string archiveText(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
         "<!DOCTYPE boost_serialization>\n"
         "<boost_serialization signature=\"serialization::archive\" version=\"18\">\n" +
         body + "\n</boost_serialization>\n";
}

}  // namespace xmdtest
