// The access rules of files on Windows: a file's access list (its DACL) is
// what decides who may read and write it. A new file of CreateFileAtW gets
// one that lets the process's user alone in (OwnerOnly), so that a result
// is nobody else's to read before it takes its source's place; then
// CopyFileAccess gives it the source's list, so that it grants no more (and
// no less) than the source did. Entries the source inherited from its
// directory are inherited again from the same directory.
#include <string>
#include <vector>

#include "platform/FileAt.h"
#include "platform/Win32.h"

// After the system's own declarations (platform/Win32.h).
#include <aclapi.h>
#include <sddl.h>

namespace platform {

namespace win32 {

namespace {

// The process's user as a SID string ("S-1-5-21-..."); empty, with the last
// error set, when the token cannot be read.
std::wstring processUser() {
  ::HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return std::wstring();
  ::DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size > 0 ? size : 1);
  ::LPWSTR text = nullptr;
  std::wstring sid;
  if (::GetTokenInformation(token, TokenUser, user.data(), size, &size) &&
      ::ConvertSidToStringSidW(reinterpret_cast<::TOKEN_USER*>(user.data())->User.Sid, &text)) {
    sid = text;
    ::LocalFree(text);
  }
  const ::DWORD error = ::GetLastError();
  ::CloseHandle(token);
  if (sid.empty()) ::SetLastError(error);
  return sid;
}

}  // namespace

OwnerOnly::OwnerOnly() {
  const std::wstring user = processUser();
  if (user.empty()) return;
  // Protected ("P"): nothing inherited; one entry: all access for the user.
  const std::wstring rules = L"D:P(A;;FA;;;" + user + L")";
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(rules.c_str(), SDDL_REVISION_1,
                                                              &m_descriptor, nullptr)) {
    m_descriptor = nullptr;
    return;
  }
  m_attributes.nLength = sizeof m_attributes;
  m_attributes.lpSecurityDescriptor = m_descriptor;
  m_attributes.bInheritHandle = FALSE;
}

OwnerOnly::~OwnerOnly() {
  if (m_descriptor != nullptr) ::LocalFree(m_descriptor);
}

}  // namespace win32

BOOL CopyFileAccess(HANDLE from, HANDLE to) {
  if (from == nullptr || from == INVALID_HANDLE_VALUE || to == nullptr ||
      to == INVALID_HANDLE_VALUE)
    return win32::fail(ERROR_INVALID_HANDLE);
  ::PACL list = nullptr;
  ::PSECURITY_DESCRIPTOR descriptor = nullptr;
  // (These two return their error instead of setting the last one.)
  ::DWORD error = ::GetSecurityInfo(from, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, &list, nullptr, &descriptor);
  if (error == ERROR_SUCCESS) {
    ::SECURITY_DESCRIPTOR_CONTROL control = 0;
    ::DWORD revision = 0;
    if (!::GetSecurityDescriptorControl(descriptor, &control, &revision)) control = 0;
    const ::SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION |
        ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                            : UNPROTECTED_DACL_SECURITY_INFORMATION);
    error = ::SetSecurityInfo(to, SE_FILE_OBJECT, what, nullptr, nullptr, list, nullptr);
    ::LocalFree(descriptor);
  }
  if (error != ERROR_SUCCESS) return win32::fail(error);
  return TRUE;
}

}  // namespace platform
