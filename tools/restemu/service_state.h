// The emulated service's state kept in a file, so that a program that starts its emulator
// again (the zenlet program's built-in one) finds the sessions it issued, the permissions it
// granted and the statuses it was told. The file is a JSON object:
//
//   {"sessions": [{"session_key": "...", "api_key": "...", "uid": "...", "secret": "...",
//                  "expires": 0, "last_call_id": "..."}],
//    "permissions": ["status_update"],
//    "statuses": [{"uid": "...", "message": "...", "time": 1700000000}]}
//
// It holds session secrets, so only its owner may read it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tools/restemu/rest_service.h"

std::string WriteServiceState(const ServiceState& state);
// Throws CFieldError naming the field that is wrong.
ServiceState ReadServiceState(std::string_view text);

class CServiceStateFile {
 public:
  explicit CServiceStateFile(std::string path) : m_strPath(std::move(path)) {}

  const std::string& Path() const { return m_strPath; }

  // The state the file holds; nothing when there is no file yet. A file that cannot be read
  // is moved aside to Path() + ".unreadable", so the next Save does not destroy it, and
  // `problem` tells why; the service then starts from its scenario.
  std::optional<ServiceState> Load(std::string* problem) const;
  // Replaces the file with `state` in one step (a new file, mode 0600, renamed over the old
  // one), making its folder when it is missing. False when it could not be written.
  bool Save(const ServiceState& state) const;

 private:
  std::string m_strPath;
};
