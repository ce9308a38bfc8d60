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
// failure the user has been told why and the client is logged out. The new session is not
// stored: the options take it when an explorer window closes.
bool Login(CFacebookClient& client, IUserShell& shell, WindowHandle owner);

// Posts `text` (sent as given; no text clears the status), logging in first when needed.
// When the service wants the status permission, the user is sent to the permission page
// and the post is tried once more. True when the status was posted; every failure has been
// shown to the user.
bool UpdateStatus(CFacebookClient& client, IUserShell& shell, WindowHandle owner,
                  const std::optional<std::wstring>& text);
