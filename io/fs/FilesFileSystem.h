// io::fs::FilesFileSystem: the file system over the operating system's files,
// resolving relative paths against a root directory fixed at construction.
//
// Resolution: "absolute-aware" operations (the stream openers, getFileInfo,
// setFileTime, isFile, isDirectory, getFileId) take a path for which
// Path::isAbsolute holds as the platform path itself; every other path, and
// every path of the remaining operations, is resolved: the root, "/" when the
// root is non-empty, then the path unchanged (not normalised). With an empty
// root a relative path is used as it stands, relative to the current
// directory. Nothing checks that the root exists.
#pragma once

#include <string>

#include "io/fs/BaseFileSystem.h"
#include "io/fs/NativePath.h"

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
  bool replaceFile(const std::string& replaced, const std::string& replacement,
                   std::string& reason) override;
  bool flushDirectory(const std::string& directory, std::string& reason) override;

  // The root in wide form.
  const std::u16string& getRoot() const { return m_root; }

  // The wide platform path of path: resolve(path), or for an absolute path
  // only its wide form.
  NativePath absoluteAware(const std::string& path) const;
  // The root, "/" when the root is non-empty, then the wide form of path.
  NativePath resolve(const std::string& path) const;

 private:
  std::u16string m_root;
};

}  // namespace fs
}  // namespace io
