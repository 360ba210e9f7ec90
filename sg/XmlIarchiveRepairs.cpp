// Three repairs of the XML archive reader (boost::archive::xml_iarchive), which
// every reader of the scene-graph archives goes through. Each replaces the
// library's definition of the same member for xml_iarchive and keeps its
// failures; they only take away crashes on malformed input.
//
// End-tag check (load_end). After each element the reader compares the name
// in the end tag it found with the name it expected. The library's check
// indexes the expected name (a short constant such as "g.x") with the length
// of the name found in the input, so a long end tag reads far past that
// constant: an end tag of a few megabytes crashes the reader. Here the names
// are compared by their own lengths; the failures stay input_stream_error
// for a malformed end tag and "XML start/end tag mismatch" for another name.
//
// Closing (windup). An archive that read its objects without error parses
// the archive's closing tag when it is destroyed, and the library lets that
// parse throw out of the destructor, which ends the program (a truncated
// archive file is enough). The objects were read completely by then, so a
// malformed closing tag is ignored here. The library's destructor calls
// windup through the dynamic linker, so this definition, in the executable,
// is the one it calls.
//
// Class ids (load_override of class_id_type). The reader uses the class id of
// a pointer element as an index into its table of classes and tests only that
// it is not too large; a negative id other than the null pointer's -1 reads
// before the table and crashes. Here such an id fails as the library fails
// for an unknown class ("unregistered class").
//
// Built into xmd_sg_registrations, whose objects every executable that links
// xmd_sg contains, so every caller of the reader gets these definitions.
#include <cstring>

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/impl/basic_xml_grammar.hpp>
#include <boost/archive/xml_archive_exception.hpp>
#include <boost/archive/xml_iarchive.hpp>
#include <boost/serialization/throw_exception.hpp>

namespace boost {
namespace archive {

template <>
void basic_xml_iarchive<xml_iarchive>::load_end(const char* name) {
  if (name == nullptr) return;
  xml_iarchive& ar = *this->This();
  if (!ar.gimpl->parse_end_tag(ar.get_is())) {
    boost::serialization::throw_exception(archive_exception(archive_exception::input_stream_error));
  }
  if ((this->get_flags() & no_xml_tag_checking) != 0) return;
  const std::string& found = ar.gimpl->rv.object_name;
  if (found.size() != std::strlen(name) || found.compare(name) != 0) {
    boost::serialization::throw_exception(
        xml_archive_exception(xml_archive_exception::xml_archive_tag_mismatch, name));
  }
}

template <>
void basic_xml_iarchive<xml_iarchive>::load_override(class_id_type& t) {
  const int id = this->This()->gimpl->rv.class_id;
  if (id < -1) {
    boost::serialization::throw_exception(archive_exception(archive_exception::unregistered_class));
  }
  t = class_id_type(id);
}

// Called by the archive's destructor only, when no exception is in flight.
template <>
bool basic_xml_grammar<char>::windup(std::istream& is) {
  try {
    return my_parse(is, ETag);
  } catch (const archive_exception&) {
    return false;  // a malformed closing tag after complete objects
  }
}

}  // namespace archive
}  // namespace boost
