#pragma once
// Status codes of the system: 32-bit values with the numeric values of the platform's HRESULTs.
// Portable code uses these names; the Windows build checks each one against the SDK's macro.
#include <cstdint>

namespace torvo {

using HResult = std::int32_t;

constexpr HResult MakeStatus(std::uint32_t bits) { return static_cast<HResult>(bits); }

inline constexpr HResult kOk = 0;                                      // S_OK
inline constexpr HResult kFalse = 1;                                   // S_FALSE
inline constexpr HResult kNotImplemented = MakeStatus(0x80004001);     // E_NOTIMPL
inline constexpr HResult kNoInterface = MakeStatus(0x80004002);        // E_NOINTERFACE
inline constexpr HResult kPointer = MakeStatus(0x80004003);            // E_POINTER
inline constexpr HResult kFail = MakeStatus(0x80004005);               // E_FAIL
inline constexpr HResult kUnexpected = MakeStatus(0x8000FFFF);         // E_UNEXPECTED
inline constexpr HResult kPending = MakeStatus(0x8000000A);            // E_PENDING
inline constexpr HResult kOutOfMemory = MakeStatus(0x8007000E);        // E_OUTOFMEMORY
inline constexpr HResult kInvalidArg = MakeStatus(0x80070057);         // E_INVALIDARG
inline constexpr HResult kDispException = MakeStatus(0x80020009);      // DISP_E_EXCEPTION
inline constexpr HResult kDispBadIndex = MakeStatus(0x8002000B);       // DISP_E_BADINDEX
inline constexpr HResult kNoAggregation = MakeStatus(0x80040110);      // CLASS_E_NOAGGREGATION
inline constexpr HResult kClassNotAvailable = MakeStatus(0x80040111);  // CLASS_E_CLASSNOTAVAILABLE

// Win32 error codes that the logic looks at.
inline constexpr std::int32_t kErrorSuccess = 0;
inline constexpr std::int32_t kErrorFileNotFound = 2;
inline constexpr std::int32_t kErrorAccessDenied = 5;
inline constexpr std::int32_t kErrorInsufficientBuffer = 122;

// HRESULT_FROM_WIN32: 0 and negative values pass unchanged, a positive code keeps its low 16 bits
// under facility 7 with the failure bit set.
constexpr HResult HresultFromWin32(std::int32_t code) {
  if (code <= 0) return code;
  return MakeStatus(0x80070000u | (static_cast<std::uint32_t>(code) & 0xFFFFu));
}

constexpr bool Failed(HResult status) { return status < 0; }
constexpr bool Succeeded(HResult status) { return status >= 0; }

}  // namespace torvo

// Early return on failure: one check per call.
#define TORVO_RETURN_IF_FAILED(expr)                          \
  do {                                                        \
    const ::torvo::HResult torvo_status_ = (expr);            \
    if (::torvo::Failed(torvo_status_)) return torvo_status_; \
  } while (0)
