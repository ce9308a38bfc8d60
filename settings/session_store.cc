#include "settings/session_store.h"

#include <mutex>
#include <utility>

#include "facebook/facebook_client.h"
#include "settings/options.h"

void LoadSessionFromOptions(CFacebookClient& client, const CFBOpts& options) {
  // Unsealing happens before the lock is taken; the client's state then changes in one step.
  StoredSession stored = options.GetSession();
  std::lock_guard<std::mutex> lock(client.m_csState);
  client.m_session.strSessionKey = std::move(stored.strSessionKey);
  client.m_session.strSessionSecret = std::move(stored.strSessionSecret);
  client.m_session.strUserId = std::move(stored.strUid);
  client.m_self.strName = std::move(stored.strUserName);
}

namespace {

StoredSession CopySession(const CFacebookClient& client) {
  StoredSession session;
  std::lock_guard<std::mutex> lock(client.m_csState);
  session.strSessionKey = client.m_session.strSessionKey;
  session.strSessionSecret = client.m_session.strSessionSecret;
  session.strUid = client.m_session.strUserId;
  session.strUserName = client.m_self.strName;
  return session;
}

bool operator==(const StoredSession& a, const StoredSession& b) {
  return a.strSessionKey == b.strSessionKey && a.strSessionSecret == b.strSessionSecret &&
         a.strUid == b.strUid && a.strUserName == b.strUserName;
}

}  // namespace

void SaveSessionToOptions(const CFacebookClient& client, CFBOpts& options) {
  options.SetSession(CopySession(client));
}

CSessionKeeper::CSessionKeeper(CFacebookClient& client, CFBOpts& options)
    : m_client(client), m_options(options) {}

void CSessionKeeper::Restore() {
  LoadSessionFromOptions(m_client, m_options);
  m_stored = CopySession(m_client);
}

void CSessionKeeper::Store() {
  StoredSession session = CopySession(m_client);
  m_options.SetSession(session);
  m_options.Save();  // a failed save is not shown; the next change tries again
  m_stored = std::move(session);
}

bool CSessionKeeper::StoreIfChanged() {
  if (CopySession(m_client) == m_stored) {
    return false;
  }
  Store();
  return true;
}
