// The browser of the batch mode with the built-in emulator: what the demo user does on the
// pages the add-in opens, done at once over HTTP, so that a script's login goes through
// without a person. The login page is logged in on and the permission page allowed, each
// through its own form as a browser posts it; other pages of the service are only fetched.
// Addresses anywhere else are left alone.
//
// Threading: any thread; each call waits for the pages it works.
#pragma once

#include <string>

class CAutoBrowser {
 public:
  // Works the pages of the service on 127.0.0.1:`port`.
  explicit CAutoBrowser(int port) : m_nPort(port) {}

  // True when `address` was a page of the service and it did what the page offers.
  bool Visit(const std::wstring& address) const;

 private:
  int m_nPort;
};
