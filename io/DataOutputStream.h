// DataOutputStream: writes big-endian values and strings to another stream.
//
// The encodings are those DataInputStream reads. Every value goes out as one
// write of this stream (which the filter passes to the sink); a string as a
// write of its count and one write per 249 or more bytes of its UTF-8. The
// sink is not owned; nothing is counted or buffered here.
#pragma once

#include "io/FilterOutputStream.h"
#include "lang/String.h"

namespace io {

class DataOutputStream : public FilterOutputStream {
 public:
  // The longest string byte count the 16-bit signed count can hold.
  static const int kMaxUTFBytes = 32767;

  explicit DataOutputStream(OutputStream* out);

  // The low 8, low 16, all 32 bits of value; the float's bit pattern.
  void writeByte(int value);
  void writeShort(int value);
  void writeInt(int value);
  void writeFloat(float value);
  // The 16-bit byte count of the text's UTF-8, then the UTF-8. A high
  // surrogate not followed by a low one is left out; a lone low surrogate
  // is written as its own value. Text whose UTF-8 passes 32767 bytes throws
  // io::IOException "UTF-8 data of {0} bytes too long when writing {1}"
  // before anything is written.
  void writeUTF(const lang::String& value);

  // The byte count of the UTF-8 that writeUTF writes for value.
  static long long measureUTF(const lang::String& value);
};

}  // namespace io
