#include "io/fs/FilesFileSystem.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "io/FileInputStream.h"
#include "io/FileOutputStream.h"
#include "io/fs/Path.h"
#include "io/unicode_ifstream.h"
#include "io/unicode_ofstream.h"
#include "lang/TextConversion.h"
#include "platform/FileApi.h"

namespace io {
namespace fs {

namespace {

// Opens the narrow form of a wide path with the runtime's file open: file
// names are byte strings here, so this is the wide open of the platform.
template <typename Stream>
boost::shared_ptr<Stream> openStdStream(const NativePath& path, const char* mode) {
  std::FILE* cfile = std::fopen(lang::wideToAnsi(path.wide()).c_str(), mode);
  if (cfile == nullptr) return boost::shared_ptr<Stream>();
  boost::shared_ptr<Stream> stream(new Stream(cfile, std::ios_base::binary));
  if (stream->fail()) return boost::shared_ptr<Stream>();  // failbit or badbit
  return stream;
}

}  // namespace

FilesFileSystem::FilesFileSystem(const std::string& root) : m_root(lang::ansiToWide(root)) {}

NativePath FilesFileSystem::resolve(const std::string& path) const {
  if (path.empty()) return NativePath(m_root.empty() ? std::u16string(u".") : m_root);  // the root
  std::u16string resolved = m_root;
  if (!resolved.empty()) resolved.push_back(u'/');
  resolved += lang::ansiToWide(path);
  return NativePath(resolved);
}

NativePath FilesFileSystem::absoluteAware(const std::string& path) const {
  return Path::isAbsolute(path) ? NativePath(path) : resolve(path);
}

lang::Ptr<InputStream> FilesFileSystem::openInputStream(const std::string& path) {
  if (Path::isAbsolute(path)) return lang::Ptr<InputStream>(new FileInputStream(path));
  return lang::Ptr<InputStream>(new FileInputStream(resolve(path).wide()));
}

lang::Ptr<OutputStream> FilesFileSystem::openOutputStream(const std::string& path) {
  if (Path::isAbsolute(path)) return lang::Ptr<OutputStream>(new FileOutputStream(path));
  return lang::Ptr<OutputStream>(new FileOutputStream(resolve(path).wide()));
}

boost::shared_ptr<unicode_ifstream> FilesFileSystem::openUnicodeInputStream(
    const std::string& path) {
  return openStdStream<unicode_ifstream>(resolve(path), "rb");
}

boost::shared_ptr<unicode_ofstream> FilesFileSystem::openUnicodeOutputStream(
    const std::string& path) {
  return openStdStream<unicode_ofstream>(resolve(path), "wb");
}

bool FilesFileSystem::getFileInfo(const std::string& path, FileInfo& info) {
  return absoluteAware(path).getFileInfo(info);
}

bool FilesFileSystem::setFileTime(const std::string& path, const FileInfo& info) {
  return absoluteAware(path).setFileTime(info.lastWriteTime);
}

bool FilesFileSystem::isFile(const std::string& path) { return absoluteAware(path).isFile(); }

bool FilesFileSystem::copyFile(const std::string& from, const std::string& to) {
  return platform::CopyFileW(resolve(from).wide().c_str(), resolve(to).wide().c_str(),
                             platform::FALSE) == platform::TRUE;
}

bool FilesFileSystem::moveFile(const std::string& from, const std::string& to) {
  return platform::MoveFileW(resolve(from).wide().c_str(), resolve(to).wide().c_str()) ==
         platform::TRUE;
}

bool FilesFileSystem::deleteFile(const std::string& path) {
  return platform::DeleteFileW(resolve(path).wide().c_str()) == platform::TRUE;
}

bool FilesFileSystem::setReadOnly(const std::string& path, bool readOnly) {
  const NativePath native = resolve(path);
  if (!native.exists()) return false;
  std::uint32_t attributes = native.getAttributes();
  if (readOnly)
    attributes |= platform::FILE_ATTRIBUTE_READONLY;
  else
    attributes &= ~platform::FILE_ATTRIBUTE_READONLY;
  native.setAttributes(attributes);  // a failed write still counts as done
  return true;
}

bool FilesFileSystem::isDirectory(const std::string& path) {
  return absoluteAware(path).isDirectory();
}

bool FilesFileSystem::createDirectory(const std::string& path) {
  return platform::CreateDirectoryW(resolve(path).wide().c_str(), nullptr) == platform::TRUE;
}

bool FilesFileSystem::removeDirectory(const std::string& path) {
  return platform::RemoveDirectoryW(resolve(path).wide().c_str()) == platform::TRUE;
}

void FilesFileSystem::listDirectory(const std::string& pattern, DirectoryListing& listing) {
  const NativePath native = resolve(pattern);
  platform::WIN32_FIND_DATAW data;
  platform::HANDLE search = platform::FindFirstFileW(native.wide().c_str(), &data);
  if (search == platform::INVALID_HANDLE_VALUE) return;
  // Gathered first and sorted once: inserting one by one into the sorted
  // array costs a move of half of it per entry.
  std::vector<DirectoryEntry> found;
  try {
    do {
      DirectoryEntry entry;
      entry.name = lang::wideToAnsi(data.cFileName);
      if (entry.name == "." || entry.name == "..") continue;
      entry.isDirectory = (data.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
      entry.size = data.nFileSizeLow;
      entry.lastWriteTime = (std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
                            data.ftLastWriteTime.dwLowDateTime;
      found.push_back(std::move(entry));
    } while (platform::FindNextFileW(search, &data));
  } catch (...) {
    platform::FindClose(search);
    throw;
  }
  platform::FindClose(search);
  listing.insertAll(std::move(found));
}

bool FilesFileSystem::getFileId(const std::string& path, FileId& id) {
  // The empty path under an empty root is the current directory.
  if (m_root.empty() && path.empty()) return NativePath(u".").getFileId(id);
  return absoluteAware(path).getFileId(id);
}

bool FilesFileSystem::replaceFile(const std::string& replaced, const std::string& replacement,
                                  std::string& reason) {
  if (platform::ReplaceFileW(resolve(replaced).wide().c_str(), resolve(replacement).wide().c_str(),
                             nullptr, platform::REPLACEFILE_FLUSH_REPLACEMENT, nullptr,
                             nullptr) == platform::TRUE)
    return true;
  reason = platform::describeError(platform::GetLastError());
  return false;
}

bool FilesFileSystem::flushDirectory(const std::string& directory, std::string& reason) {
  // The current directory, when both the root and the directory are empty.
  const NativePath native =
      m_root.empty() && directory.empty() ? NativePath(u".") : resolve(directory);
  platform::HANDLE h =
      platform::CreateFileW(native.wide().c_str(), platform::GENERIC_READ,
                            platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE, nullptr,
                            platform::OPEN_EXISTING, platform::FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  bool ok = h != platform::INVALID_HANDLE_VALUE && platform::FlushFileBuffers(h) == platform::TRUE;
  if (!ok) reason = platform::describeError(platform::GetLastError());
  if (h != platform::INVALID_HANDLE_VALUE) platform::CloseHandle(h);
  return ok;
}

}  // namespace fs
}  // namespace io
