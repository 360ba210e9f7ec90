// Fuzz target: the XML archive readers of the scene-graph classes over
// arbitrary text.
//
// Input: one selector byte (which class, see fuzz/SgClasses.h), then the text
// of an XML archive holding one element "object". Reading must either
// succeed or throw the archive library's exception; anything else (another
// exception, a crash, a sanitizer report, a leak) is a fault. What was read
// successfully must save, and the saved text must read back into an object
// that saves to the same text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/serialization/nvp.hpp>

#include "fuzz/SgClasses.h"

namespace {

template <class T>
void load(const std::string& text, T& obj) {
  std::istringstream is(text);
  boost::archive::xml_iarchive ia(is);
  xmdfuzz::readObject(ia, obj);
}

template <class T>
std::string save(const T& obj) {
  std::ostringstream os;
  {
    boost::archive::xml_oarchive oa(os);
    xmdfuzz::writeObject(oa, obj);
  }
  return os.str();
}

[[noreturn]] void fail(const char* cls, const char* what, const std::string& detail) {
  std::fprintf(stderr, "sg_fuzz: %s: %s\n%s\n", cls, what, detail.c_str());
  std::abort();
}

struct Reader {
  int selected;
  const std::string& text;

  template <class T>
  void visit(int index, const char* name) {
    if (index != selected) return;
    T first;
    try {
      load(text, first);
    } catch (const boost::archive::archive_exception&) {
      return;  // malformed archive: the expected failure
    }
    std::string saved;
    try {
      saved = save(first);
    } catch (const boost::archive::archive_exception& e) {
      fail(name, "an object read from an archive does not save", e.what());
    }
    T second;
    try {
      load(saved, second);
    } catch (const boost::archive::archive_exception& e) {
      fail(name, "a saved archive does not read back", std::string(e.what()) + "\n" + saved);
    }
    if (save(second) != saved) fail(name, "reading back changed the object", saved);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const int count = xmdfuzz::sgClassCount();
  int selected = ((data[0] - 'A') % count + count) % count;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  Reader reader{selected, text};
  xmdfuzz::forEachSgClass(reader);
  return 0;
}
