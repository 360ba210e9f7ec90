// Code-page conversions between narrow text in the system code page (CP_ACP)
// and wide UTF-16 text, with the calling conventions of the operating
// system's MultiByteToWideChar / WideCharToMultiByte.
//
// Here the system code page is UTF-8. So that every file name survives the
// round trip narrow -> wide -> narrow, a byte that is not part of a valid
// UTF-8 sequence (overlong forms, encoded surrogates and values above
// U+10FFFF are invalid) becomes the lone surrogate U+DC80 + byte on the way
// to wide, and such a surrogate becomes that byte again on the way to
// narrow. Any other unpaired surrogate cannot be represented and becomes the
// default character "?", as the system conversion replaces characters its
// code page lacks.
//
// Calling convention shared by both functions:
//  - srcLen -1: the source is zero-terminated and the terminator is
//    converted and counted too; otherwise srcLen units are converted.
//  - dstLen 0: nothing is written; the result is the number of units the
//    conversion needs.
//  - otherwise: the result is the number of units written, or 0 when they do
//    not fit (ERROR_INSUFFICIENT_BUFFER; the buffer may be partly written).
//  - 0 is also returned for a null source, srcLen 0 or below -1, a negative
//    dstLen or a null destination with dstLen > 0 (ERROR_INVALID_PARAMETER),
//    a code page other than CP_ACP (ERROR_INVALID_PARAMETER) and an unknown
//    flag (ERROR_INVALID_FLAGS). The reason is left in GetLastError().
// Both functions are thread-safe and allocate nothing.
#pragma once

#include "platform/LastError.h"

namespace platform {

constexpr UINT CP_ACP = 0;

// MultiByteToWideChar flag: fail with ERROR_NO_UNICODE_TRANSLATION on a byte
// sequence that is not valid UTF-8 instead of escaping its bytes.
constexpr DWORD MB_ERR_INVALID_CHARS = 0x08;
// WideCharToMultiByte flags: accepted; best-fit mapping (a look-alike for a
// character the code page lacks) is never done, with or without it.
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x400;
// Fail with ERROR_NO_UNICODE_TRANSLATION on an unpaired surrogate (other than
// an escaped byte) instead of writing the default character.
constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;

// Narrow (system code page) to wide. Returns the number of wide units
// needed or written; 0 on failure (see above).
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen, char16_t* dst,
                        int dstLen);

// Wide to narrow. defaultChar, when not null, names the byte written for a
// character the code page cannot represent (else "?"); usedDefaultChar, when
// not null, receives 1 when such a replacement was made, else 0. Returns the
// number of bytes needed or written; 0 on failure (see above).
int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* src, int srcLen, char* dst,
                        int dstLen, const char* defaultChar, int* usedDefaultChar);

}  // namespace platform
