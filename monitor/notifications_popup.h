// The notifications drop-down of one explorer's toolbar: its visible text sums up the pending
// activity ("New Requests - %d", or "No Notifications"), its list holds a line per kind of
// activity, birthday reminders and the friends' latest statuses, and choosing a line opens
// its page in the user's browser.
//
// Threading: Outlook's main thread only. The activity is read from the REST client under its
// lock, as copies; the lock is never held during an Office call or a browser launch.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "facebook/facebook_records.h"

class CFacebookClient;
class IClock;
class ICommandBarComboBox;
class IUserShell;

// How long ago `statusTime` (decimal Unix seconds as text) was, seen at `now`: "now.",
// "%d seconds ago.", "about a minute ago.", "%d minutes ago.", "about an hour ago.",
// "about %d hours ago.", "1 day ago." or "about %d days ago.". Empty for a time that is
// missing, 0 or not a number.
std::wstring FormatRelativeTime(std::wstring_view statusTime, std::int64_t now);

// "name status. relative time" for a friend with a status, empty for one without. A status of
// 180 characters or more is cut to its first 177 and "..." (characters as the user sees
// them, so no cut falls inside one).
std::wstring FormatFriendStatusLine(const UserInfo& info, std::int64_t now);

// The friend's profile page on the site at `siteAddress` (with its trailing slash); empty
// without a uid. The uid is URL-encoded, so it cannot add to the address.
std::wstring GetProfileLink(const UserInfo& info, std::wstring_view siteAddress);

// One line of the list and the page it opens (empty: none of its own).
struct NotificationItem {
  std::wstring strText;
  std::wstring strLink;
};

// Every line of the logged-in list, top to bottom: the summary, the six counts, the birthday
// reminders behind a "---" line when any friend has a birthday today, the friends' status
// lines behind a "---" line when the friend list is not empty. Read under the client's lock.
std::vector<NotificationItem> BuildNotificationItems(const CFacebookClient& client, IClock& clock,
                                                     std::wstring_view siteAddress);

class CNotificationsPopup {
 public:
  // The collaborators must outlive the object. `siteAddress` is the web site with its
  // trailing slash; it is also the home page.
  CNotificationsPopup(CFacebookClient& client, IClock& clock, IUserShell& shell,
                      std::wstring siteAddress);

  // While logged in: enables the drop-down and rebuilds it when the activity signature
  // changed or more than 300000 ms passed since the last rebuild.
  void RefreshLoggedIn(ICommandBarComboBox& dropdown);
  // While logged out: one disabled "No Notifications" line. The last signature and rebuild
  // time stay; the next logged-in refresh rebuilds all the same, since the list it would
  // keep is the placeholder, not the lines that signature was built into.
  void ShowLoggedOut(ICommandBarComboBox& dropdown);
  // The drop-down's Change: snaps back to the summary line and, for any other line, resets
  // the new wall posts and opens the line's page (the home page for a line without one).
  void OnNotificationSelected(ICommandBarComboBox& dropdown);

  // The link of item k+1 at entry k (Office counts items from 1), kept aligned with the
  // items actually added.
  std::vector<std::wstring> m_aLinks;
  std::wstring m_strLastSignature;
  std::uint32_t m_dwLastRebuildTick = 0;

 private:
  // The list holds the logged-out placeholder instead of the lines of m_strLastSignature.
  bool m_bShowsPlaceholder = false;

  // Replaces the list with `items`; a line Office refuses gets no link either.
  void Fill(ICommandBarComboBox& dropdown, const std::vector<NotificationItem>& items);

  CFacebookClient& m_client;
  IClock& m_clock;
  IUserShell& m_shell;
  const std::wstring m_strSiteAddress;
};
