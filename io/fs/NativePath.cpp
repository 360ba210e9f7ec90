#include "io/fs/NativePath.h"

#include "lang/TextConversion.h"
#include "platform/FileApi.h"

namespace io {
namespace fs {

namespace {

// Opening for attributes only, as the queries below do: shared for reading
// and writing, existing files only, directories included.
platform::HANDLE openForAttributes(const std::u16string& path, platform::DWORD access) {
  return platform::CreateFileW(
      path.c_str(), access, platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE, nullptr,
      platform::OPEN_EXISTING, platform::FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

std::uint64_t ticksOf(const platform::FILETIME& t) {
  return (std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

}  // namespace

NativePath::NativePath(const std::string& narrow) : m_path(lang::ansiToWide(narrow)) {}

bool NativePath::findFirst(std::uint32_t* attributes) const {
  platform::WIN32_FIND_DATAW data;
  platform::HANDLE search = platform::FindFirstFileW(m_path.c_str(), &data);
  if (search == platform::INVALID_HANDLE_VALUE) return false;
  platform::FindClose(search);
  *attributes = data.dwFileAttributes;
  return true;
}

bool NativePath::exists() const {
  std::uint32_t attributes;
  return findFirst(&attributes);
}

bool NativePath::isDirectory() const {
  std::uint32_t attributes;
  return findFirst(&attributes) && (attributes & platform::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool NativePath::isFile() const {
  std::uint32_t attributes;
  return findFirst(&attributes) && (attributes & platform::FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::uint32_t NativePath::getAttributes() const {
  return platform::GetFileAttributesW(m_path.c_str());
}

bool NativePath::setAttributes(std::uint32_t attributes) const {
  return platform::SetFileAttributesW(m_path.c_str(), attributes) == platform::TRUE;
}

bool NativePath::getFileInfo(FileInfo& info) const {
  platform::HANDLE h = openForAttributes(m_path, platform::FILE_READ_ATTRIBUTES);
  if (h == platform::INVALID_HANDLE_VALUE) {
    info.error = 1;
    return false;
  }
  info.error = 0;
  platform::FILETIME lastWrite{0, 0};
  platform::GetFileTime(h, nullptr, nullptr, &lastWrite);
  info.lastWriteTime = ticksOf(lastWrite);
  info.size = platform::GetFileSize(h, nullptr);
  platform::CloseHandle(h);
  return true;
}

bool NativePath::setFileTime(std::uint64_t time) const {
  platform::HANDLE h = openForAttributes(m_path, platform::FILE_WRITE_ATTRIBUTES);
  if (h == platform::INVALID_HANDLE_VALUE) return false;
  const platform::FILETIME t{static_cast<platform::DWORD>(time),
                             static_cast<platform::DWORD>(time >> 32)};
  platform::SetFileTime(h, &t, &t, &t);
  platform::CloseHandle(h);
  return true;
}

bool NativePath::getFileId(FileId& id) const {
  platform::HANDLE h = openForAttributes(m_path, platform::FILE_READ_ATTRIBUTES);
  if (h == platform::INVALID_HANDLE_VALUE) return false;
  platform::BY_HANDLE_FILE_INFORMATION info;
  const bool ok = platform::GetFileInformationByHandle(h, &info) == platform::TRUE;
  platform::CloseHandle(h);
  if (!ok) return false;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

}  // namespace fs
}  // namespace io
