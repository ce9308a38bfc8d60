// Every seam's Linux adapter in one object, for the start-up code of a Linux program: the
// clock, folders, the log file on log4cpp, HTTP on libcurl, XML on libxml2, the settings
// store on SQLite with AES-GCM protection in the user's settings folder, the terminal user
// shell, silent media players and plain worker threads.
//
//   CPosixPlatform platform;
//   SetPlatform(platform.Bundle());
//
// The object must outlive every use of the bundle; it is made once, in main().
#pragma once

#include <memory>

#include "platform/platform.h"

class CPosixPlatform {
 public:
  CPosixPlatform();
  ~CPosixPlatform();
  CPosixPlatform(const CPosixPlatform&) = delete;
  CPosixPlatform& operator=(const CPosixPlatform&) = delete;

  // The adapters, as the process-wide accessors expect them.
  Platform Bundle() const;

 private:
  struct Adapters;
  std::unique_ptr<Adapters> m_pAdapters;
};
