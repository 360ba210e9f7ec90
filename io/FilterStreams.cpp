#include "io/FilterInputStream.h"
#include "io/FilterOutputStream.h"

namespace io {

lang::Ptr<InputStream> FilterInputStream::clone() { return lang::Ptr<InputStream>(); }
void FilterInputStream::close() { m_in->close(); }
bool FilterInputStream::seek(int offset, int origin) { return m_in->seek(offset, origin); }
int FilterInputStream::tell() { return m_in->tell(); }
int FilterInputStream::read(void* dest, int size) { return m_in->read(dest, size); }
int FilterInputStream::skip(int count) { return m_in->skip(count); }
int FilterInputStream::available() { return m_in->available(); }
std::string FilterInputStream::toString() const { return m_in->toString(); }

void FilterOutputStream::close() { m_out->close(); }
void FilterOutputStream::flush() { m_out->flush(); }
int FilterOutputStream::write(const void* src, int size) { return m_out->write(src, size); }
std::string FilterOutputStream::toString() const { return m_out->toString(); }

}  // namespace io
