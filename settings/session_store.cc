#include "settings/session_store.h"

#include <mutex>

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

void SaveSessionToOptions(const CFacebookClient& client, CFBOpts& options) {
  StoredSession session;
  {
    std::lock_guard<std::mutex> lock(client.m_csState);
    session.strSessionKey = client.m_session.strSessionKey;
    session.strSessionSecret = client.m_session.strSessionSecret;
    session.strUid = client.m_session.strUserId;
    session.strUserName = client.m_self.strName;
  }
  options.SetSession(session);
}

void LogOut(CFacebookClient& client, CFBOpts& options) {
  client.ClearSession();
  SaveSessionToOptions(client, options);
  options.Save();  // a failed save is not shown; the session is gone from memory all the same
}
