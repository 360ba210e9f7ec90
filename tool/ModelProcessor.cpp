#include "tool/ModelProcessor.h"

#include <utility>

#include "io/fs/FileInfo.h"
#include "io/fs/Path.h"
#include "tool/DiscardingOutputStream.h"
#include "tool/ProgressInputStream.h"

namespace {

// Bytes of the source that the processing did not read (those after the
// top-level chunk) go to the result as they are; returns their count.
std::int64_t carryTrailingBytes(io::InputStream& in, io::OutputStream& out) {
  char buffer[64 * 1024];
  std::int64_t total = 0;
  for (int n; (n = in.read(buffer, sizeof buffer)) > 0; total += n) out.write(buffer, n);
  return total;
}

// True when the two files hold the same bytes.
bool sameBytes(io::fs::BaseFileSystem& fs, const std::string& a, const std::string& b) {
  lang::Ptr<io::InputStream> x = fs.openInputStream(a);
  lang::Ptr<io::InputStream> y = fs.openInputStream(b);
  char bx[64 * 1024], by[sizeof bx];
  for (;;) {
    const int nx = x->read(bx, sizeof bx);
    int ny = 0;
    for (int n; ny < nx && (n = y->read(by + ny, nx - ny)) > 0;) ny += n;
    if (nx != ny || std::char_traits<char>::compare(bx, by, nx) != 0) return false;
    if (nx == 0) return y->read(by, 1) == 0;
  }
}

}  // namespace

ModelProcessor::ModelProcessor(const boost::shared_ptr<io::fs::BaseFileSystem>& fileSystem,
                               const std::string& root, StreamProcessor process, std::ostream& out,
                               std::ostream& err, bool check)
    : fileSystem(fileSystem),
      m_root(root),
      m_process(std::move(process)),
      m_out(out),
      m_err(err),
      m_check(check) {}

ModelProcessor::Outcome ModelProcessor::processFile(const std::string& relativePath,
                                                    tool::FileRecord& record) {
  const io::fs::Path source(relativePath);
  const std::string result = source + ".result";
  const std::string shown = io::fs::Path::ofEntry(m_root, relativePath);
  record.path = shown;
  io::fs::FileInfo info;
  if (fileSystem->getFileInfo(source, info)) record.bytesBefore = info.size;

  lang::Ptr<io::InputStream> in = fileSystem->openInputStream(source);
  lang::Ptr<io::OutputStream> out;
  bool accepted = false;
  try {
    out = m_check ? lang::Ptr<io::OutputStream>(new DiscardingOutputStream(result))
                  : fileSystem->openOutputStream(result);
    m_out << "INFO : processing" << shown << std::endl;
    {
      const std::int64_t size = record.bytesBefore;
      tool::ProgressInputStream watched(in.get(), [this, size](std::int64_t position) {
        if (m_progress) m_progress(position, size);
      });
      io::ChunkInputStream chunkIn(&watched);
      io::ChunkOutputStream chunkOut(out.get());
      try {
        accepted = m_process(chunkIn, chunkOut, m_out);
      } catch (...) {
        record.position = chunkIn.getPosition();
        throw;
      }
      const std::int64_t trailing = carryTrailingBytes(*in, *out);
      if (trailing > 0)
        m_err << "xmdopt: " << shown << ": " << trailing
              << " bytes after the top-level chunk carried over unchanged" << std::endl;
    }  // the chunk output stream goes first, then the input
    // Every byte must have reached the file before it may replace the source:
    // a failed flush throws here instead of going unnoticed at close.
    out->flush();
    out->close();
    in->close();
  } catch (...) {
    const bool created = static_cast<bool>(out) && !m_check;
    out.reset();
    in.reset();
    if (created) fileSystem->deleteFile(result);
    throw;
  }
  if (m_check) record.bytesAfter = static_cast<DiscardingOutputStream*>(out.get())->count();
  out.reset();
  in.reset();

  if (!accepted) {
    record.bytesAfter = -1;
    if (!m_check) fileSystem->deleteFile(result);
    m_err << "xmdopt: " << shown << " kept unchanged: a model in it failed a check" << std::endl;
    return kKept;
  }
  if (m_check) return kChecked;
  if (fileSystem->getFileInfo(result, info)) record.bytesAfter = info.size;
  if (record.bytesAfter == record.bytesBefore && sameBytes(*fileSystem, source, result)) {
    fileSystem->deleteFile(result);
    return kUnchanged;
  }
  std::string reason;
  if (!fileSystem->replaceFile(source, result, reason)) {
    fileSystem->deleteFile(result);
    m_err << "xmdopt: cannot replace " << shown << " with its result: " << reason << std::endl;
    return kReplaceFailed;
  }
  return kReplaced;
}
