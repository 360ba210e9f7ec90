// Test support for the io layer: what an io failure carried, as one line of
// text that a test compares whole:
//   "EOFException: Unexpected end of file in {0}. | n:data.bin"
// The exception's most derived io class, its template, then each argument by
// kind: "#" and the number, "n:" narrow text, "t:" text (code units below
// 0x80 as they are, others as \uXXXX).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "io/EOFException.h"
#include "io/FileNotFoundException.h"
#include "io/IOException.h"
#include "lang/Format.h"
#include "lang/String.h"

namespace xmdtest {

inline std::string text(const lang::String& s) {
  std::string out;
  for (int i = 0; i < s.length(); ++i) {
    unsigned u = s.charAt(i);
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", u);
      out += buf;
    }
  }
  return out;
}

inline std::string describe(const char* cls, const lang::Throwable& e) {
  const lang::Format& f = e.getMessage();
  std::string out = std::string(cls) + ": " + text(f.pattern());
  for (unsigned i = 0; i < f.argCount(); ++i) {
    const lang::FormatArg& a = f.arg(static_cast<int>(i));
    if (a.kind() == lang::FormatArg::Number) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.17g", a.number());
      out += std::string(" | #") + buf;
    } else if (a.kind() == lang::FormatArg::Text) {
      out += " | t:" + text(a.text());
    } else if (a.kind() == lang::FormatArg::NarrowText) {
      out += " | n:" + a.narrow();
    } else {
      out += " | none";
    }
  }
  return out;
}

// Runs f; returns the line describing what it threw, or "nothing thrown".
template <class F>
std::string thrown(F&& f) {
  try {
    f();
  } catch (const io::EOFException& e) {
    return describe("EOFException", e);
  } catch (const io::FileNotFoundException& e) {
    return describe("FileNotFoundException", e);
  } catch (const io::IOException& e) {
    return describe("IOException", e);
  }
  return "nothing thrown";
}

inline std::vector<unsigned char> bytes(std::initializer_list<int> list) {
  std::vector<unsigned char> out;
  for (int b : list) out.push_back(static_cast<unsigned char>(b));
  return out;
}

}  // namespace xmdtest
