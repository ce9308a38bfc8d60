// Every seam's Windows adapter in one object, for the DLL's start-up: the clock, folders, the
// log file, HTTP on WinInet, XML on MSXML 3, the registry under HKEY_CURRENT_USER with DPAPI
// protection, the user shell, thread timers, the clipboard, the worker's COM apartment, and
// the media players: iTunes first, then Windows Media Player.
//
//   CWin32Platform platform;
//   SetPlatform(platform.Bundle());
//
// The object must outlive every use of the bundle.
#pragma once

#include <memory>

#include "platform/platform.h"

class CWin32Platform {
 public:
  CWin32Platform();
  ~CWin32Platform();
  CWin32Platform(const CWin32Platform&) = delete;
  CWin32Platform& operator=(const CWin32Platform&) = delete;

  Platform Bundle() const;

 private:
  struct Adapters;
  std::unique_ptr<Adapters> m_pAdapters;
};
