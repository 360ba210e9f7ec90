// Test helper: parses the XML text of an archive into a tree of elements, so
// tests check element names, order, attributes and texts instead of comparing
// whole files. Handles exactly what the XML archive writes: a declaration, a
// DOCTYPE, start/end/empty tags with double-quoted attributes, text.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace xmdtest {

struct XmlElement {
  std::string name;
  std::map<std::string, std::string> attrs;
  std::string text;
  std::vector<XmlElement> children;

  // The names of the direct children, in order.
  std::vector<std::string> childNames() const {
    std::vector<std::string> names;
    for (const XmlElement& c : children) names.push_back(c.name);
    return names;
  }
  // The first child named `n`; throws std::runtime_error when there is none.
  const XmlElement& child(const std::string& n) const {
    for (const XmlElement& c : children)
      if (c.name == n) return c;
    throw std::runtime_error("no child element " + n + " in " + name);
  }
  const XmlElement& operator[](const std::string& n) const { return child(n); }
  bool has(const std::string& attr) const { return attrs.count(attr) != 0; }
  std::string attr(const std::string& a) const {
    auto it = attrs.find(a);
    if (it == attrs.end()) throw std::runtime_error("no attribute " + a + " on " + name);
    return it->second;
  }
};

// Parses `xml` and returns the root element ("boost_serialization").
// Throws std::runtime_error on text it does not understand.
XmlElement parseXml(const std::string& xml);

}  // namespace xmdtest
