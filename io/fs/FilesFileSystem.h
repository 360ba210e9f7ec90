// io::fs::FilesFileSystem: the file system over the operating system's files,
// resolving relative paths against a root directory fixed at construction.
//
// Resolution: "absolute-aware" operations (the stream openers, getFileInfo,
// setFileTime, isFile, isDirectory) take a path for which Path::isAbsolute
// holds as the platform path itself; every other path, and every path of the
// remaining operations, is resolved: the root, "/" when the root is
// non-empty, then the path unchanged (not normalised). With an empty root a
// relative path is used as it stands, relative to the current directory.
// Nothing checks that the root exists.
//
// Inside the root: the root's own path without links is read once, when
// first needed; a directory lies inside the root when its path without
// links is the root's or lies under it.
//
// Threads: openReplacement, and the replacements it makes (each used by one
// thread at a time), may be used from several threads at once; the other
// operations from one thread.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "io/fs/BaseFileSystem.h"
#include "io/fs/FilesReplacement.h"
#include "io/fs/NativePath.h"
#include "io/fs/OpenFile.h"

namespace io {
namespace fs {

class FilesFileSystem : public BaseFileSystem {
 public:
  // root: a narrow path, converted once to wide form (may throw the
  // conversion's std::exception). The driver passes a normalised Path.
  explicit FilesFileSystem(const std::string& root);

  lang::Ptr<InputStream> openInputStream(const std::string& path) override;
  lang::Ptr<OutputStream> openOutputStream(const std::string& path) override;
  boost::shared_ptr<unicode_ifstream> openUnicodeInputStream(const std::string& path) override;
  boost::shared_ptr<unicode_ofstream> openUnicodeOutputStream(const std::string& path) override;
  bool getFileInfo(const std::string& path, FileInfo& info) override;
  bool setFileTime(const std::string& path, const FileInfo& info) override;
  bool isFile(const std::string& path) override;
  bool copyFile(const std::string& from, const std::string& to) override;
  bool moveFile(const std::string& from, const std::string& to) override;
  bool deleteFile(const std::string& path) override;
  bool setReadOnly(const std::string& path, bool readOnly) override;
  bool isDirectory(const std::string& path) override;
  bool createDirectory(const std::string& path) override;
  bool removeDirectory(const std::string& path) override;
  void listDirectory(const std::string& pattern, DirectoryListing& listing) override;
  bool getFileId(const std::string& path, FileId& id) override;
  bool isInsideRoot(const std::string& directory) override;
  std::unique_ptr<Replacement> openReplacement(const std::string& path,
                                               Replacement::Refusal& refusal) override;
  bool flushDirectory(const std::string& directory, std::string& reason) override;

  // The root in wide form.
  const std::u16string& getRoot() const { return m_root; }

  // The wide platform path of path: resolve(path), or for an absolute path
  // only its wide form.
  NativePath absoluteAware(const std::string& path) const;
  // The root, "/" when the root is non-empty, then the wide form of path.
  NativePath resolve(const std::string& path) const;

 private:
  // The directory at the resolved path, open; null when it cannot be opened
  // or is no directory.
  std::shared_ptr<OpenFile> openDirectory(const NativePath& path) const;
  // The root's path without links; empty when it cannot be read.
  const std::string& finalRoot();
  // Whether the path without links final lies inside the root.
  bool insideRoot(const std::string& final);
  // A fresh random tag for a result's name.
  std::string nextTag();
  // The names in the directory whose path without links is final that have
  // the form of a result's, listed when a file of that directory is first
  // opened for replacement.
  std::vector<std::string>* leftoversIn(const std::string& final);
  // Moves place from the link it names to the link's target: the target's
  // directory and name, with the target's identity in target. false with
  // refusal set when the target is refused. Throws
  // io::FileNotFoundException when the target cannot be opened.
  bool followLink(FilesReplacement::Place& place, FileId& target, Replacement::Refusal& refusal);

  std::u16string m_root;
  std::mutex m_finalRootMutex;  // guards the two below
  std::string m_finalRoot;      // read once
  bool m_finalRootRead = false;
  std::mutex m_randomMutex;  // guards m_random
  std::mt19937 m_random;     // seeded from the system's random source at construction
  std::mutex m_openMutex;    // one openReplacement at a time; guards m_leftovers
  std::map<std::string, std::vector<std::string>> m_leftovers;  // by directory, see leftoversIn
  platform::DWORD m_user;                                       // the user of this process
};

}  // namespace fs
}  // namespace io
