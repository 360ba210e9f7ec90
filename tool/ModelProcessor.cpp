#include "tool/ModelProcessor.h"

#include <utility>

#include "io/fs/Path.h"

ModelProcessor::ModelProcessor(const boost::shared_ptr<io::fs::BaseFileSystem>& fileSystem,
                               const std::string& root, StreamProcessor process, std::ostream& out,
                               std::ostream& err)
    : fileSystem(fileSystem), m_root(root), m_process(std::move(process)), m_out(out), m_err(err) {}

ModelProcessor::Outcome ModelProcessor::processFile(const std::string& relativePath) {
  const io::fs::Path source(relativePath);
  const std::string result = source + ".result";
  const std::string shown = io::fs::Path::ofEntry(m_root, relativePath);

  lang::Ptr<io::InputStream> in = fileSystem->openInputStream(source);
  lang::Ptr<io::OutputStream> out;
  bool accepted = false;
  try {
    out = fileSystem->openOutputStream(result);
    m_out << "INFO : processing" << shown << std::endl;
    {
      io::ChunkInputStream chunkIn(in.get());
      io::ChunkOutputStream chunkOut(out.get());
      accepted = m_process(chunkIn, chunkOut);
    }  // the chunk output stream goes first, then the input
    // Every byte must have reached the file before it may replace the source:
    // a failed flush throws here instead of going unnoticed at close.
    out->flush();
    out->close();
    in->close();
  } catch (...) {
    const bool created = static_cast<bool>(out);
    out.reset();
    in.reset();
    if (created) fileSystem->deleteFile(result);
    throw;
  }
  out.reset();
  in.reset();

  if (!accepted) {
    fileSystem->deleteFile(result);
    m_err << "xmdopt: " << shown << " kept unchanged: a model in it failed a check" << std::endl;
    return kKept;
  }
  std::string reason;
  if (!fileSystem->replaceFile(source, result, reason)) {
    fileSystem->deleteFile(result);
    m_err << "xmdopt: cannot replace " << shown << " with its result: " << reason << std::endl;
    return kReplaceFailed;
  }
  return kReplaced;
}
