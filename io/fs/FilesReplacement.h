// io::fs::FilesReplacement: the io::fs::Replacement of FilesFileSystem, over
// the platform's files. It works inside one open directory: the source and
// the result are entries of it reached through its handle, the source is
// opened without following a link and without waiting, then locked
// (exclusive, refused at once when held); the result is created new under a
// name of io::fs::ResultName and used through its handle from then on.
//
// Made by FilesFileSystem::openReplacement, which has checked that the
// directory lies inside the root; owned by its caller. One thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "io/fs/OpenFile.h"
#include "io/fs/Replacement.h"
#include "platform/FileAt.h"

namespace io {
namespace fs {

class FilesReplacement : public Replacement {
 public:
  // Where the source lies and how it is shown.
  struct Place {
    std::shared_ptr<OpenFile> directory;  // open, inside the root
    std::string directoryShown;           // its narrow path, for result names in messages
    std::string name;                     // the source's entry in directory
    std::string shown;                    // the path messages quote for the source
    std::string relativePath;             // the source's path relative to the root
    // Names in directory that may be results left by killed runs (the
    // directory's entries of the form of io::fs::ResultName, of any source).
    std::vector<std::string>* leftovers = nullptr;
    platform::DWORD user = 0;  // the user of this process
  };

  // Opens the source of place (regular files only) and locks it. Returns the
  // replacement, or a null pointer with refusal set. expected, when not
  // null, is the identity the source must have (a link's target). tag gives
  // a fresh random tag for each result name. Throws
  // io::FileNotFoundException "Failed to open file for reading: {0}" when
  // the source cannot be opened.
  static std::unique_ptr<FilesReplacement> open(Place place, const FileId* expected,
                                                std::function<std::string()> tag, Refusal& refusal);
  ~FilesReplacement() override;

  lang::Ptr<InputStream> input() override;
  lang::Ptr<OutputStream> createResult() override;
  Outcome seal(std::string& reason) override;
  bool flushVolume(std::string& reason) override;
  void markDurable() override { m_durable = m_sealed; }
  Outcome commit(std::string& reason) override;
  void abandon() override;
  std::int64_t sourceSize() const override { return static_cast<std::int64_t>(m_source.size); }
  bool resultEqualsSource() override;
  unsigned sourceLinks() const override { return m_source.links; }
  std::vector<std::string> removedLeftovers() const override { return m_removed; }
  FileId sourceId() const override { return idOf(m_source); }
  FileId resultId() const override { return idOf(m_result); }
  std::string replacedPath() const override { return m_place.relativePath; }

 private:
  FilesReplacement(Place place, std::shared_ptr<OpenFile> source,
                   const platform::FILE_STATUS& status, std::function<std::string()> tag);

  static FileId idOf(const platform::FILE_STATUS& status);
  // Whether the entry name of the directory is still the file status was
  // taken of (the same file, not written or changed since).
  bool unchanged(const std::string& name, const platform::FILE_STATUS& status,
                 bool contentsToo) const;
  // Removes the results of the source left by killed runs (see
  // Replacement::removedLeftovers), with the source locked.
  void removeLeftovers();
  // Removes the result when it is still ours and not committed.
  void removeResult();
  // The platform's words for its last failure.
  static std::string lastError();

  Place m_place;
  std::shared_ptr<OpenFile> m_sourceFile;
  platform::FILE_STATUS m_source;  // as opened
  std::function<std::string()> m_tag;
  lang::Ptr<InputStream> m_input;
  std::shared_ptr<OpenFile> m_resultFile;  // null until created
  std::string m_resultName;
  platform::FILE_STATUS m_result{};  // as created
  lang::Ptr<OutputStream> m_output;
  bool m_sealed = false;   // owner and permissions given, write-out started
  bool m_durable = false;  // on the disk (a volume flush after the seal)
  bool m_committed = false;
  std::vector<std::string> m_removed;
};

}  // namespace fs
}  // namespace io
