// The session's way between the REST client, which owns it in clear text, and the options,
// which keep it protected across restarts. Neither function saves: CSessionKeeper does, at
// the moments the session is stored.
#pragma once

#include "settings/options.h"

class CFacebookClient;

// Gives the client the stored session key, secret and user id and the user's name. A value
// that cannot be unprotected arrives empty, which leaves the client logged out.
void LoadSessionFromOptions(CFacebookClient& client, const CFBOpts& options);

// Seals the client's session key, secret, user id and user name into the options (empty
// values stay empty). The expiry is not kept.
void SaveSessionToOptions(const CFacebookClient& client, CFBOpts& options);

// Keeps the stored session in step with the client's. A session reaches the store as soon as
// a login gives it, and an ended one (a logout, a failed login, a session the service called
// dead) as soon as the main thread sees it gone, as well as when a window that made its bar
// closes: a crash, a kill or Outlook's fast shut-down would lose it otherwise. The user's
// name, which arrives after the login, is stored with it.
//
// Threading: Outlook's main thread only, as the options are; the client is read under its
// lock.
class CSessionKeeper {
 public:
  // Both must outlive the keeper.
  CSessionKeeper(CFacebookClient& client, CFBOpts& options);

  // Gives the client the stored session (LoadSessionFromOptions), which is then the one
  // stored.
  void Restore();
  // Copies the client's session into the options and saves them (a failure is not shown).
  void Store();
  // Store, when the client's session is not the one stored last; true when it stored.
  bool StoreIfChanged();

 private:
  CFacebookClient& m_client;
  CFBOpts& m_options;
  StoredSession m_stored;  // what the keeper stored or restored last
};
