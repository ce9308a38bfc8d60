#include "tools/restemu/service_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/posix/private_files.h"
#include "tools/restemu/json_fields.h"

namespace {

constexpr std::int64_t kLatestTime = std::numeric_limits<std::int64_t>::max();

// Writes `text` to a file of its own at `path`, readable by its owner only.
bool WritePrivateFile(const std::string& path, const std::string& text) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    return false;
  }
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t step = write(fd, text.data() + written, text.size() - written);
    if (step < 0 && errno == EINTR) {
      continue;
    }
    if (step <= 0) {
      close(fd);
      return false;
    }
    written += static_cast<std::size_t>(step);
  }
  return close(fd) == 0;
}

}  // namespace

std::string WriteServiceState(const ServiceState& state) {
  nlohmann::json sessions = nlohmann::json::array();
  for (const ServiceState::Session& session : state.aSessions) {
    sessions.push_back({{"session_key", session.strKey},
                        {"api_key", session.strApiKey},
                        {"uid", session.strUid},
                        {"secret", session.strSecret},
                        {"expires", session.nExpires},
                        {"last_call_id", session.strLastCallId}});
  }
  nlohmann::json statuses = nlohmann::json::array();
  for (const auto& [uid, status] : state.aStatuses) {
    statuses.push_back({{"uid", uid}, {"message", status.strMessage}, {"time", status.nTime}});
  }
  const nlohmann::json document = {
      {"sessions", sessions}, {"permissions", state.aPermissions}, {"statuses", statuses}};
  return DumpJson(document) + "\n";
}

ServiceState ReadServiceState(std::string_view text) {
  const nlohmann::json document = ParseJsonDocument(text, "the state");
  const CJsonField root(document, "");
  root.RequireObject({"sessions", "permissions", "statuses"});
  ServiceState state;
  if (root.Has("sessions")) {
    const CJsonField sessions = root.Member("sessions");
    for (std::size_t i = 0; i < sessions.ArraySize(); ++i) {
      const CJsonField field = sessions.Element(i);
      field.RequireObject({"session_key", "api_key", "uid", "secret", "expires", "last_call_id"});
      ServiceState::Session session;
      session.strKey = field.Member("session_key").String();
      session.strApiKey = field.Member("api_key").String();
      session.strUid = field.Member("uid").Id();
      session.strSecret = field.Member("secret").String();
      session.nExpires = field.Member("expires").Integer(0, kLatestTime);
      if (field.Has("last_call_id")) {
        session.strLastCallId = field.Member("last_call_id").String();
      }
      state.aSessions.push_back(std::move(session));
    }
  }
  if (root.Has("permissions")) {
    const CJsonField permissions = root.Member("permissions");
    for (std::size_t i = 0; i < permissions.ArraySize(); ++i) {
      state.aPermissions.push_back(permissions.Element(i).String());
    }
  }
  if (root.Has("statuses")) {
    const CJsonField statuses = root.Member("statuses");
    for (std::size_t i = 0; i < statuses.ArraySize(); ++i) {
      const CJsonField field = statuses.Element(i);
      field.RequireObject({"uid", "message", "time"});
      StatusRecord status;
      status.strMessage = field.Member("message").String();
      status.nTime = field.Member("time").Integer(0, kLatestTime);
      state.aStatuses.emplace_back(field.Member("uid").Id(), std::move(status));
    }
  }
  return state;
}

std::optional<ServiceState> CServiceStateFile::Load(std::string* problem) const {
  if (access(m_strPath.c_str(), F_OK) != 0 && errno == ENOENT) {
    return std::nullopt;  // the first start
  }
  std::ifstream file(m_strPath, std::ios::binary);
  if (!file) {
    *problem = m_strPath + ": cannot be opened";
    return std::nullopt;
  }
  std::ostringstream text;
  text << file.rdbuf();
  try {
    return ReadServiceState(text.str());
  } catch (const CFieldError& error) {
    const std::string aside = m_strPath + ".unreadable";
    *problem =
        m_strPath + ": " + error.what() +
        (std::rename(m_strPath.c_str(), aside.c_str()) == 0 ? "; kept as " + aside : std::string());
    return std::nullopt;
  }
}

bool CServiceStateFile::Save(const ServiceState& state) const {
  if (!EnsurePrivateFolder(ParentFolder(m_strPath))) {
    return false;
  }
  // A reader never finds half a file, and a kill between the two steps leaves the old one.
  const std::string temporary = m_strPath + ".new";
  if (!WritePrivateFile(temporary, WriteServiceState(state))) {
    unlink(temporary.c_str());
    return false;
  }
  return std::rename(temporary.c_str(), m_strPath.c_str()) == 0;
}
