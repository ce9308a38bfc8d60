// The two interactive flows of the REST client: the token login through the user's browser,
// and the status post with its permission step. Both run on Outlook's main thread and block
// it while their message boxes and requests are open; every box is owned by `owner`, titled
// with the product title and has only an OK button, whose answer is not examined.
//
// The client's lock is taken only inside the client's methods, never across a box, a
// request or a browser launch, so a refresh timer that fires inside a box sees a consistent
// client.
#pragma once

#include <optional>
#include <string>

#include "platform/user_shell.h"

class CFacebookClient;

// The login page with this login's token: the page address, the API key, the token and the
// API version. The token is URL-encoded, so a token of hex digits stands as the service sent
// it and no token can add parameters of its own.
std::string GetLoginUrl(const CFacebookClient& client);
// The page on which the user allows the add-in to post statuses.
std::string GetAuthorizeUrl(const CFacebookClient& client);

// Token, browser login, session, own record. True when a session was obtained; on every
// failure the client is logged out before the user is told why, so that nothing shows the
// dead login while the box is open. Storing the new session is the caller's.
bool Login(CFacebookClient& client, IUserShell& shell, WindowHandle owner);

// Posts `text` (sent as given; no text clears the status), logging in first when needed.
// When the service wants the status permission, the user is sent to the permission page
// and the post is tried once more, unless the session it was sent with has ended meanwhile
// (a logout in another window): then nothing more is sent or shown. True when the status
// was posted; every other failure has been shown to the user. A session that the service
// calls dead is cleared before its box shows, and only if it is still the one the post
// used.
bool UpdateStatus(CFacebookClient& client, IUserShell& shell, WindowHandle owner,
                  const std::optional<std::wstring>& text);

// One interactive flow at a time in the process. A login, a status post and its permission
// step wait in message boxes while the other windows go on working, and a second flow
// started meanwhile would share the first one's token and session: each would undo the
// other. Commands hold a CFlowPass while their flow runs and start none while another holds
// one.
//
// Threading: Outlook's main thread only.
class CFlowGate {
 public:
  bool IsBusy() const { return m_bBusy; }

 private:
  friend class CFlowPass;
  bool m_bBusy = false;
};

// The gate for as long as the pass lives, when it was free; test the pass before starting.
class CFlowPass {
 public:
  explicit CFlowPass(CFlowGate& gate) : m_gate(gate), m_bEntered(!gate.m_bBusy) {
    m_gate.m_bBusy = true;
  }
  ~CFlowPass() {
    if (m_bEntered) {
      m_gate.m_bBusy = false;
    }
  }
  CFlowPass(const CFlowPass&) = delete;
  CFlowPass& operator=(const CFlowPass&) = delete;

  explicit operator bool() const { return m_bEntered; }

 private:
  CFlowGate& m_gate;
  const bool m_bEntered;
};
