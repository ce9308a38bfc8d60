#include "tools/restemu/site_pages.h"

namespace {

std::string Page(std::string_view title, const std::string& body) {
  std::string page =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + EscapeMarkup(title) +
      "</title></head>\n<body>\n<p><a href=\"/\">Home</a> | <a href=\"/inbox/\">Inbox</a> | "
      "<a href=\"/reqs.php\">Requests</a> | <a href=\"/wall.php\">Wall</a></p>\n<h1>" +
      EscapeMarkup(title) + "</h1>\n";
  page += body;
  page += "</body></html>\n";
  return page;
}

std::string Paragraph(std::string_view text) {
  return "<p>" + EscapeMarkup(text) + "</p>\n";
}

std::string ProfileLink(const PersonRecord& person) {
  return "<a href=\"/profile.php?id=" + person.strUid + "\">" + EscapeMarkup(person.strName) +
         "</a>";
}

// The name of the person with `uid` when the scenario knows them, else the bare id.
std::string NameOrId(const ServiceSnapshot& snapshot, const std::string& uid) {
  for (const PersonRecord& person : snapshot.aFriends) {
    if (person.strUid == uid) {
      return ProfileLink(person);
    }
  }
  return "User " + EscapeMarkup(uid);
}

std::string HiddenField(std::string_view name, std::string_view value) {
  return "<input type=\"hidden\" name=\"" + EscapeMarkup(name) + "\" value=\"" +
         EscapeMarkup(value) + "\">\n";
}

}  // namespace

std::string HomePage(const ServiceSnapshot& snapshot) {
  std::string body = "<p>Welcome, " + ProfileLink(snapshot.user) + ".</p>\n";
  if (!snapshot.user.status.strMessage.empty()) {
    body += Paragraph(snapshot.user.strName + " " + snapshot.user.status.strMessage);
  }
  body += "<h2>Friends</h2>\n<ul>\n";
  for (const PersonRecord& person : snapshot.aFriends) {
    body += "<li>" + ProfileLink(person);
    if (!person.status.strMessage.empty()) {
      body += " " + EscapeMarkup(person.status.strMessage);
    }
    body += "</li>\n";
  }
  body += "</ul>\n";
  return Page("Home", body);
}

std::string InboxPage(const ServiceSnapshot& snapshot) {
  return Page("Inbox",
              Paragraph("You have " + std::to_string(snapshot.notifications.messages.nUnread) +
                        " unread messages."));
}

std::string RequestsPage(const ServiceSnapshot& snapshot) {
  const NotificationState& state = snapshot.notifications;
  std::string body = "<h2 id=\"friend\">Friend Requests</h2>\n<ul>\n";
  for (const std::string& uid : state.aFriendRequests) {
    body += "<li>" + NameOrId(snapshot, uid) + " wants to be your friend.</li>\n";
  }
  body += "</ul>\n<h2 id=\"group\">Group Invitations</h2>\n<ul>\n";
  for (const std::string& gid : state.aGroupInvites) {
    body += "<li>An invitation to group " + EscapeMarkup(gid) + ".</li>\n";
  }
  body += "</ul>\n<h2 id=\"event\">Event Invitations</h2>\n<ul>\n";
  for (const std::string& eid : state.aEventInvites) {
    body += "<li>An invitation to event " + EscapeMarkup(eid) + ".</li>\n";
  }
  body += "</ul>\n";
  return Page("Requests", body);
}

std::string WallPage(const ServiceSnapshot& snapshot) {
  return Page(
      snapshot.user.strName + "'s Wall",
      Paragraph("There are " + std::to_string(snapshot.nWallCount) + " posts on this wall."));
}

std::string ProfilePage(const ServiceSnapshot& snapshot, const PersonRecord& person) {
  std::string body;
  if (!person.status.strMessage.empty()) {
    body += Paragraph(person.strName + " " + person.status.strMessage);
  }
  if (!person.strBirthday.empty()) {
    body += Paragraph("Birthday: " + person.strBirthday);
  }
  if (person.strUid == snapshot.user.strUid) {
    body += "<p><a href=\"/wall.php\">Wall</a></p>\n";
  }
  return Page(person.strName, body);
}

std::string LoginPage(std::string_view userName, std::string_view apiKey, std::string_view token,
                      std::string_view version) {
  std::string body = Paragraph("Log in to use this application as " + std::string(userName) + ".");
  body += "<form method=\"post\" action=\"/login.php\">\n";
  body += HiddenField("api_key", apiKey);
  body += HiddenField("auth_token", token);
  body += HiddenField("v", version);
  body += "<input type=\"submit\" value=\"Log in\">\n</form>\n";
  return Page("Log in", body);
}

std::string LoginDonePage(std::string_view userName) {
  return Page("Logged in", Paragraph("You are logged in as " + std::string(userName) +
                                     ". You may close this window and return to the application."));
}

std::string AuthorizePage(std::string_view userName, std::string_view apiKey,
                          std::string_view version, std::string_view permission) {
  std::string body = Paragraph("Allow this application to use the permission \"" +
                               std::string(permission) + "\" for " + std::string(userName) + "?");
  body += "<form method=\"post\" action=\"/authorize.php\">\n";
  body += HiddenField("api_key", apiKey);
  body += HiddenField("v", version);
  body += HiddenField("ext_perm", permission);
  body += "<button type=\"submit\" name=\"decision\" value=\"allow\">Allow</button>\n";
  body += "<button type=\"submit\" name=\"decision\" value=\"deny\">Don't Allow</button>\n";
  body += "</form>\n";
  return Page("Allow access", body);
}

std::string AuthorizeDonePage(std::string_view permission, bool bGranted) {
  return Page(bGranted ? "Permission granted" : "Permission not granted",
              Paragraph(std::string(bGranted ? "The application now has"
                                             : "The application does not have") +
                        " the permission \"" + std::string(permission) +
                        "\". You may close this window and return to the application."));
}

std::string MessagePage(std::string_view title, std::string_view text) {
  return Page(title, Paragraph(text));
}
