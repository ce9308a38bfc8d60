// The web pages the add-in opens in the browser: the token login page, the extended
// permission page, and plain pages of the site (home, inbox, requests, wall, profiles) so
// that every link leads somewhere real.
#pragma once

#include <string>
#include <string_view>

#include "tools/restemu/rest_service.h"

std::string HomePage(const ServiceSnapshot& snapshot);
std::string InboxPage(const ServiceSnapshot& snapshot);
// Sections with the anchors "friend", "group" and "event".
std::string RequestsPage(const ServiceSnapshot& snapshot);
std::string WallPage(const ServiceSnapshot& snapshot);
std::string ProfilePage(const ServiceSnapshot& snapshot, const PersonRecord& person);

// The login form for `userName`: posting it back approves `token`.
std::string LoginPage(std::string_view userName, std::string_view apiKey, std::string_view token,
                      std::string_view version);
std::string LoginDonePage(std::string_view userName);
// The form that grants or refuses the extended permission `permission`.
std::string AuthorizePage(std::string_view userName, std::string_view apiKey,
                          std::string_view version, std::string_view permission);
std::string AuthorizeDonePage(std::string_view permission, bool bGranted);

// A page with a heading and one paragraph, for errors and "not found".
std::string MessagePage(std::string_view title, std::string_view text);
