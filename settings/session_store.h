// The session's way between the REST client, which owns it in clear text, and the options,
// which keep it protected across restarts. Neither function saves: the caller does, at the
// moments the options are written (an explorer window closing, a logout).
#pragma once

class CFacebookClient;
class CFBOpts;

// Gives the client the stored session key, secret and user id and the user's name. A value
// that cannot be unprotected arrives empty, which leaves the client logged out.
void LoadSessionFromOptions(CFacebookClient& client, const CFBOpts& options);

// Seals the client's session key, secret, user id and user name into the options (empty
// values stay empty). The expiry is not kept.
void SaveSessionToOptions(const CFacebookClient& client, CFBOpts& options);

// The logout: the client forgets the session and the whole activity picture, and the options
// store the emptied session at once. Nothing is sent to the service.
void LogOut(CFacebookClient& client, CFBOpts& options);
