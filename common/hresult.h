// COM status codes for code that runs on every platform. Windows builds take the system's
// own definitions; elsewhere the same names and values are defined here.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#if defined(_WIN32)
// The status codes come from the system; the type itself is winnt.h's, declared the same way
// so that this header needs nothing beyond winerror.h.
#ifndef _HRESULT_DEFINED
#define _HRESULT_DEFINED
typedef long HRESULT;  // NOLINT(modernize-use-using): the system's own declaration
#endif
#include <winerror.h>
#else
using HRESULT = std::int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);

inline bool SUCCEEDED(HRESULT hr) {
  return hr >= 0;
}
inline bool FAILED(HRESULT hr) {
  return hr < 0;
}

// The HRESULT that carries a Win32 error code (facility 7).
inline HRESULT HRESULT_FROM_WIN32(std::uint32_t error) {
  return error == 0 ? S_OK : static_cast<HRESULT>((error & 0x0000FFFFu) | 0x80070000u);
}
#endif

// A status code as log lines write it ("0x%lx"): its 32 bits, never sign-extended.
inline unsigned long HResultForLog(HRESULT hr) {
  return static_cast<unsigned long>(static_cast<std::uint32_t>(hr));
}

// Out of memory and broken invariants are raised as exceptions carrying an HRESULT; every
// COM entry point turns them back into a status code.
class CHResultError : public std::runtime_error {
 public:
  explicit CHResultError(HRESULT hr)
      : std::runtime_error("HRESULT " + std::to_string(static_cast<std::uint32_t>(hr))), m_hr(hr) {}
  HRESULT Code() const noexcept { return m_hr; }

 private:
  HRESULT m_hr;
};

[[noreturn]] inline void ThrowHResult(HRESULT hr) {
  throw CHResultError(hr);
}
