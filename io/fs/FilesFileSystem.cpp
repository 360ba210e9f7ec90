#include "io/fs/FilesFileSystem.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "io/FileInputStream.h"
#include "io/FileNotFoundException.h"
#include "io/FileOutputStream.h"
#include "io/Raise.h"
#include "io/fs/Path.h"
#include "io/fs/ResultName.h"
#include "io/unicode_ifstream.h"
#include "io/unicode_ofstream.h"
#include "lang/TextConversion.h"
#include "platform/FileApi.h"
#include "platform/FileAt.h"
#include "platform/Process.h"

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

FilesFileSystem::FilesFileSystem(const std::string& root)
    : m_root(lang::ansiToWide(root)),
      m_random(std::random_device()()),
      m_user(platform::GetCurrentUserId()) {}

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
  return resolve(path).getFileId(id);
}

std::shared_ptr<OpenFile> FilesFileSystem::openDirectory(const NativePath& path) const {
  const NativePath native = path.wide().empty() ? NativePath(u".") : path;
  // For its entries only: a directory its user may search but not list
  // opens too.
  const platform::HANDLE h =
      platform::CreateFileW(native.wide().c_str(), platform::FILE_READ_ATTRIBUTES,
                            platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE, nullptr,
                            platform::OPEN_EXISTING, platform::FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == platform::INVALID_HANDLE_VALUE) return nullptr;
  auto dir = std::make_shared<OpenFile>(h, lang::wideToAnsi(path.wide()));
  platform::FILE_STATUS status;
  if (!platform::GetFileStatus(h, &status) || status.kind != platform::FILE_KIND_DIRECTORY)
    return nullptr;
  return dir;
}

namespace {

// The path without links of an open file; empty when it cannot be read.
std::string finalPathOf(const OpenFile& file) {
  std::u16string buffer(256, u'\0');
  for (;;) {
    const platform::DWORD n = platform::GetFinalPathNameByHandleW(
        file.handle(), &buffer[0], static_cast<platform::DWORD>(buffer.size()), 0);
    if (n == 0) return std::string();
    if (n < buffer.size()) return lang::wideToAnsi(buffer.substr(0, n));
    buffer.resize(n);
  }
}

}  // namespace

const std::string& FilesFileSystem::finalRoot() {
  std::lock_guard<std::mutex> lock(m_finalRootMutex);
  if (!m_finalRootRead) {
    const std::shared_ptr<OpenFile> root = openDirectory(NativePath(m_root));
    if (root) m_finalRoot = finalPathOf(*root);
    m_finalRootRead = true;
  }
  return m_finalRoot;
}

bool FilesFileSystem::insideRoot(const std::string& final) {
  const std::string& root = finalRoot();
  if (root.empty() || final.empty()) return false;
  // A root that ends in "/" ("/", "C:/") holds every path that starts with it.
  if (root.back() == '/') return final.compare(0, root.size(), root) == 0;
  return final == root || (final.size() > root.size() && final.compare(0, root.size(), root) == 0 &&
                           final[root.size()] == '/');
}

bool FilesFileSystem::isInsideRoot(const std::string& directory) {
  const std::shared_ptr<OpenFile> dir = openDirectory(resolve(directory));
  return dir && insideRoot(finalPathOf(*dir));
}

std::string FilesFileSystem::nextTag() {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kChars) - 2);
  std::string tag(ResultName::kTagLength, ' ');
  std::lock_guard<std::mutex> lock(m_randomMutex);
  for (char& c : tag) c = kChars[pick(m_random)];
  return tag;
}

std::vector<std::string>* FilesFileSystem::leftoversIn(const std::string& final) {
  const auto known = m_leftovers.find(final);
  if (known != m_leftovers.end()) return &known->second;
  std::vector<std::string>& names = m_leftovers[final];
  // Every name of the form, whatever its source: the directory is read once.
  const std::string pattern = Path::ofEntry(final, "*" + ResultName::patternFor(""));
  platform::WIN32_FIND_DATAW data;
  const platform::HANDLE search =
      platform::FindFirstFileW(lang::ansiToWide(pattern).c_str(), &data);
  if (search == platform::INVALID_HANDLE_VALUE) return &names;
  do names.push_back(lang::wideToAnsi(data.cFileName));
  while (platform::FindNextFileW(search, &data));
  platform::FindClose(search);
  return &names;
}

std::unique_ptr<Replacement> FilesFileSystem::openReplacement(const std::string& path,
                                                              Replacement::Refusal& refusal) {
  // One opening at a time: the leftovers of each directory are listed and
  // removed once, under the source's lock.
  std::lock_guard<std::mutex> lock(m_openMutex);
  refusal = Replacement::kNone;
  const std::string shown = lang::wideToAnsi(resolve(path).wide());
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? std::string() : path.substr(0, slash);
  FilesReplacement::Place place;
  place.name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  place.shown = shown;
  place.relativePath = path;
  place.directory = place.name.empty() ? nullptr : openDirectory(resolve(directory));
  if (!place.directory)
    detail::raise<FileNotFoundException>("Failed to open file for reading: {0}", shown);
  place.directoryShown = place.directory->name();
  place.user = m_user;
  const std::string final = finalPathOf(*place.directory);
  if (!insideRoot(final)) {
    refusal = Replacement::kOutsideRoot;
    return nullptr;
  }
  place.leftovers = leftoversIn(final);
  platform::FILE_STATUS entry;
  if (!platform::GetFileStatusAtW(place.directory->handle(), lang::ansiToWide(place.name).c_str(),
                                  &entry) ||
      entry.kind == platform::FILE_KIND_DIRECTORY)
    detail::raise<FileNotFoundException>("Failed to open file for reading: {0}", shown);
  if (entry.kind != platform::FILE_KIND_LINK)
    return FilesReplacement::open(
        std::move(place), nullptr, [this] { return nextTag(); }, refusal);
  FileId target;
  if (!followLink(place, target, refusal)) return nullptr;
  return FilesReplacement::open(
      std::move(place), &target, [this] { return nextTag(); }, refusal);
}

bool FilesFileSystem::followLink(FilesReplacement::Place& place, FileId& target,
                                 Replacement::Refusal& refusal) {
  const platform::HANDLE h = platform::CreateFileAtW(
      place.directory->handle(), lang::ansiToWide(place.name).c_str(), platform::GENERIC_READ,
      platform::OPEN_EXISTING, platform::FILE_FLAG_FOLLOW_LINK);
  if (h == platform::INVALID_HANDLE_VALUE)
    detail::raise<FileNotFoundException>("Failed to open file for reading: {0}", place.shown);
  const OpenFile file(h, place.shown);
  platform::FILE_STATUS status;
  if (!platform::GetFileStatus(h, &status))
    detail::raise<FileNotFoundException>("Failed to open file for reading: {0}", place.shown);
  if (status.kind != platform::FILE_KIND_REGULAR) {
    refusal = Replacement::kNotRegularFile;
    return false;
  }
  const std::string final = finalPathOf(file);
  const std::size_t slash = final.rfind('/');
  if (!insideRoot(final) || slash == std::string::npos) {
    refusal = Replacement::kLinkLeavesRoot;
    return false;
  }
  // The target's own directory, reached again by its path without links: it
  // must still be that directory, inside the root.
  // A file system's own root keeps its "/" ("/", "C:/").
  const std::string parent = final.substr(0, slash);
  const std::string directory = parent.find('/') == std::string::npos ? parent + "/" : parent;
  place.directory = openDirectory(NativePath(directory));
  if (!place.directory || finalPathOf(*place.directory) != directory) {
    refusal = Replacement::kChangedWhileOpened;
    return false;
  }
  place.directoryShown = directory;
  place.leftovers = leftoversIn(directory);
  place.name = final.substr(slash + 1);
  const std::string& root = finalRoot();
  place.relativePath = final.substr(root.back() == '/' ? root.size() : root.size() + 1);
  target.volume = static_cast<std::uint32_t>(status.device ^ (status.device >> 32));
  target.index = status.inode;
  return true;
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
  // A file system that cannot flush a directory at all: nothing to wait for.
  if (!ok && h != platform::INVALID_HANDLE_VALUE &&
      platform::GetLastError() == platform::ERROR_INVALID_FUNCTION)
    ok = true;
  if (!ok) reason = platform::describeError(platform::GetLastError());
  if (h != platform::INVALID_HANDLE_VALUE) platform::CloseHandle(h);
  return ok;
}

}  // namespace fs
}  // namespace io
