#include "io/fs/FilesReplacement.h"

#include <cstring>
#include <utility>

#include "io/FileNotFoundException.h"
#include "io/IOException.h"
#include "io/Raise.h"
#include "io/fs/HandleInputStream.h"
#include "io/fs/HandleOutputStream.h"
#include "io/fs/Path.h"
#include "io/fs/ResultName.h"
#include "lang/TextConversion.h"

namespace io {
namespace fs {

namespace {

// How many fresh names createResult tries before it gives up: names are
// random, so a second collision means someone plants them on purpose.
constexpr int kNameAttempts = 16;
// The permission bits a result keeps of its source's: no setuid, setgid or
// sticky bit, whoever owned the source.
constexpr platform::DWORD kPlainPermissions = 0777;
// The owner's write permission: the result is never read-only.
constexpr platform::DWORD kOwnerWrite = 0200;

platform::HANDLE openEntry(const OpenFile& dir, const std::string& name, platform::DWORD access,
                           platform::DWORD disposition) {
  return platform::CreateFileAtW(dir.handle(), lang::ansiToWide(name).c_str(), access, disposition,
                                 0);
}

bool statusAt(const OpenFile& dir, const std::string& name, platform::FILE_STATUS* status) {
  return platform::GetFileStatusAtW(dir.handle(), lang::ansiToWide(name).c_str(), status) ==
         platform::TRUE;
}

// Reads until size bytes or the end; returns the count.
int readFully(InputStream& in, char* dest, int size) {
  int total = 0;
  for (int n; total < size && (n = in.read(dest + total, size - total)) > 0;) total += n;
  return total;
}

bool sameFile(const platform::FILE_STATUS& a, const platform::FILE_STATUS& b) {
  return a.device == b.device && a.inode == b.inode;
}

// The directory part of a path relative to the root ("" for none).
std::string parentOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

FilesReplacement::FilesReplacement(Place place, std::shared_ptr<OpenFile> source,
                                   const platform::FILE_STATUS& status,
                                   std::function<std::string()> tag)
    : m_place(std::move(place)),
      m_sourceFile(std::move(source)),
      m_source(status),
      m_tag(std::move(tag)) {}

FilesReplacement::~FilesReplacement() {
  try {
    abandon();
  } catch (...) {
    // A name conversion cannot fail for names the directory listed; should
    // one fail, the result stays (a leftover the next run recognises).
  }
}

std::unique_ptr<FilesReplacement> FilesReplacement::open(Place place, const FileId* expected,
                                                         std::function<std::string()> tag,
                                                         Refusal& refusal) {
  refusal = kNone;
  const platform::HANDLE h =
      openEntry(*place.directory, place.name, platform::GENERIC_READ, platform::OPEN_EXISTING);
  if (h == platform::INVALID_HANDLE_VALUE) {
    // The name became a link since it was looked at: not the file that was.
    if (platform::GetLastError() == platform::ERROR_CANT_ACCESS_FILE) {
      refusal = kChangedWhileOpened;
      return nullptr;
    }
    detail::raise<FileNotFoundException>("Failed to open file for reading: {0}", place.shown);
  }
  auto source = std::make_shared<OpenFile>(h, place.shown);
  platform::FILE_STATUS status;
  if (!platform::GetFileStatus(h, &status))
    detail::raise<FileNotFoundException>("Failed to open file for reading: {0}", place.shown);
  if (status.kind != platform::FILE_KIND_REGULAR) {
    refusal = kNotRegularFile;
    return nullptr;
  }
  if (expected != nullptr && idOf(status) != *expected) {
    refusal = kChangedWhileOpened;
    return nullptr;
  }
  // A lock the file system cannot give at all (some network file systems)
  // does not stop the work: the check before the rename still guards it.
  if (!platform::LockFileEx(h,
                            platform::LOCKFILE_EXCLUSIVE_LOCK | platform::LOCKFILE_FAIL_IMMEDIATELY,
                            0, ~platform::DWORD(0), ~platform::DWORD(0), nullptr) &&
      platform::GetLastError() == platform::ERROR_LOCK_VIOLATION) {
    refusal = kBusy;
    return nullptr;
  }
  std::unique_ptr<FilesReplacement> replacement(
      new FilesReplacement(std::move(place), std::move(source), status, std::move(tag)));
  replacement->removeLeftovers();
  return replacement;
}

void FilesReplacement::removeLeftovers() {
  if (m_place.leftovers == nullptr) return;
  std::vector<std::string>& names = *m_place.leftovers;
  for (auto it = names.begin(); it != names.end();) {
    platform::FILE_STATUS status;
    if (!ResultName::isResultOf(*it, m_place.name) || !statusAt(*m_place.directory, *it, &status)) {
      ++it;
      continue;
    }
    if (status.kind == platform::FILE_KIND_REGULAR && status.links == 1 &&
        (status.owner == m_place.user || status.owner == m_source.owner) &&
        platform::DeleteFileAtW(m_place.directory->handle(), lang::ansiToWide(*it).c_str()))
      m_removed.push_back(Path::ofEntry(parentOf(m_place.relativePath), *it));
    it = names.erase(it);  // looked at once
  }
}

FileId FilesReplacement::idOf(const platform::FILE_STATUS& status) {
  FileId id;
  id.volume = static_cast<std::uint32_t>(status.device ^ (status.device >> 32));
  id.index = status.inode;
  return id;
}

std::string FilesReplacement::lastError() {
  return platform::describeError(platform::GetLastError());
}

lang::Ptr<InputStream> FilesReplacement::input() {
  if (!m_input) m_input = lang::Ptr<InputStream>(new HandleInputStream(m_sourceFile));
  return m_input;
}

lang::Ptr<OutputStream> FilesReplacement::createResult() {
  if (m_output) return m_output;
  std::string name;
  platform::HANDLE h = platform::INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < kNameAttempts && h == platform::INVALID_HANDLE_VALUE; ++attempt) {
    name = ResultName::make(m_place.name, m_tag());
    // Readable too, so that a result equal to its source can be told.
    h = openEntry(*m_place.directory, name, platform::GENERIC_READ | platform::GENERIC_WRITE,
                  platform::CREATE_NEW);
    if (h == platform::INVALID_HANDLE_VALUE &&
        platform::GetLastError() != platform::ERROR_FILE_EXISTS)
      break;
  }
  const std::string shown = Path::ofEntry(m_place.directoryShown, name);
  if (h == platform::INVALID_HANDLE_VALUE)
    detail::raise<FileNotFoundException>("Failed to open file for writing: {0}", shown);
  m_resultFile = std::make_shared<OpenFile>(h, shown);
  m_resultName = name;
  if (!platform::GetFileStatus(h, &m_result)) {
    removeResult();
    detail::raise<FileNotFoundException>("Failed to open file for writing: {0}", shown);
  }
  m_output = lang::Ptr<OutputStream>(new HandleOutputStream(m_resultFile));
  return m_output;
}

bool FilesReplacement::resultEqualsSource() {
  if (!m_resultFile) return false;
  auto rewound = [](const std::shared_ptr<OpenFile>& file) {
    if (!platform::SetFilePointerEx(file->handle(), 0, nullptr, platform::FILE_BEGIN))
      detail::raise<IOException>("Failed to seek file position: {0}", file->name());
    return HandleInputStream(file);
  };
  HandleInputStream source = rewound(m_sourceFile);
  HandleInputStream result = rewound(m_resultFile);
  char a[64 * 1024], b[sizeof a];
  for (;;) {
    const int na = readFully(source, a, sizeof a);
    const int nb = readFully(result, b, sizeof b);
    if (na != nb || std::memcmp(a, b, static_cast<std::size_t>(na)) != 0) return false;
    if (na < static_cast<int>(sizeof a)) return true;
  }
}

bool FilesReplacement::unchanged(const std::string& name, const platform::FILE_STATUS& status,
                                 bool contentsToo) const {
  platform::FILE_STATUS now;
  if (!statusAt(*m_place.directory, name, &now) || !sameFile(now, status) ||
      now.kind != status.kind)
    return false;
  return !contentsToo || (now.size == status.size && now.lastWriteNs == status.lastWriteNs &&
                          now.changeNs == status.changeNs);
}

Replacement::Outcome FilesReplacement::seal(std::string& reason) {
  if (!m_resultFile || m_committed) {
    reason = "There is no result to put in place.";
    return kFailed;
  }
  if (m_sealed) return kReplaced;
  const platform::HANDLE h = m_resultFile->handle();
  if (m_result.owner != m_source.owner || m_result.group != m_source.group) {
    if (!platform::SetFileOwner(h, m_source.owner, m_source.group)) {
      reason = lastError();
      abandon();
      return kOwnerNotKept;
    }
  }
  if (!platform::SetFilePermissions(h, (m_source.permissions & kPlainPermissions) | kOwnerWrite) ||
      !platform::CopyFileAccess(m_sourceFile->handle(), h) || !platform::WriteOutFileData(h)) {
    reason = lastError();
    abandon();
    return kFailed;
  }
  m_sealed = true;
  return kReplaced;
}

bool FilesReplacement::flushVolume(std::string& reason) {
  if (!m_sealed || !m_resultFile) {
    reason = "There is no result to put in place.";
    return false;
  }
  if (!platform::FlushVolumeOfFile(m_resultFile->handle())) {
    reason = lastError();
    return false;
  }
  m_durable = true;
  return true;
}

Replacement::Outcome FilesReplacement::commit(std::string& reason) {
  const Outcome sealed = seal(reason);
  if (sealed != kReplaced) return sealed;
  if (!m_durable && !platform::FlushFileBuffers(m_resultFile->handle())) {
    reason = lastError();
    abandon();
    return kFailed;
  }
  // The source must still be what was read: a file saved, replaced or
  // removed meanwhile keeps what its user did.
  if (!unchanged(m_place.name, m_source, true)) {
    abandon();
    return kSourceChanged;
  }
  if (!unchanged(m_resultName, m_result, false)) {
    reason = "The result was moved or replaced by another program.";
    abandon();
    return kFailed;
  }
  const std::u16string from = lang::ansiToWide(m_resultName);
  const std::u16string to = lang::ansiToWide(m_place.name);
  bool renamed = platform::MoveFileAtW(m_place.directory->handle(), from.c_str(), to.c_str());
  if (!renamed && platform::GetLastError() == platform::ERROR_SHARING_VIOLATION) {
    // The system will not replace a file while it is open, this
    // replacement's own handle included: the source (and its lock) is let
    // go, checked once more, and the rename tried again.
    m_input.reset();
    m_sourceFile->close();
    if (!unchanged(m_place.name, m_source, true)) {
      abandon();
      return kSourceChanged;
    }
    renamed = platform::MoveFileAtW(m_place.directory->handle(), from.c_str(), to.c_str());
  }
  if (!renamed) {
    reason = lastError();
    abandon();
    return kFailed;
  }
  m_committed = true;
  return kReplaced;
}

void FilesReplacement::removeResult() {
  if (!m_resultFile) return;
  if (!m_committed && unchanged(m_resultName, m_result, false))
    platform::DeleteFileAtW(m_place.directory->handle(), lang::ansiToWide(m_resultName).c_str());
  m_resultFile->close();  // also for a stream that still holds it
  m_resultFile.reset();
}

void FilesReplacement::abandon() {
  m_output.reset();
  removeResult();
  m_input.reset();
  if (m_sourceFile) m_sourceFile->close();  // lets go of the lock now
}

}  // namespace fs
}  // namespace io
