#include "monitor/notifications_popup.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <mutex>
#include <utility>

#include "common/format.h"
#include "common/text.h"
#include "facebook/facebook_client.h"
#include "facebook/request_params.h"
#include "monitor/activity_state.h"
#include "platform/clock.h"
#include "platform/outlook_host.h"
#include "platform/user_shell.h"

namespace {

constexpr std::uint32_t kRebuildIntervalMs = 300000;
constexpr std::size_t kLongestWholeStatus = 179;
constexpr std::size_t kCutStatusLength = 177;

constexpr const wchar_t* kNoNotifications = L"No Notifications";
constexpr const wchar_t* kSeparator = L"---";

// The leading decimal number of `text` as a 32-bit value (blanks before it and a sign
// allowed, saturating beyond the range); 0 when the text does not begin with one.
std::int32_t LeadingInt32(std::wstring_view text) {
  std::size_t at = text.find_first_not_of(L" \t\r\n");
  if (at == std::wstring_view::npos) {
    return 0;
  }
  const bool negative = text[at] == L'-';
  if (negative || text[at] == L'+') {
    ++at;
  }
  std::int64_t value = 0;
  for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
    value = std::min<std::int64_t>(value * 10 + (text[at] - L'0'),
                                   std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1);
  }
  value =
      negative ? -value : std::min<std::int64_t>(value, std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(value);
}

std::wstring Link(std::wstring_view site, const wchar_t* path) {
  std::wstring link(site);
  link += path;
  return link;
}

}  // namespace

std::wstring FormatRelativeTime(std::wstring_view statusTime, std::int64_t now) {
  const std::int32_t setAt = LeadingInt32(statusTime);
  if (setAt == 0) {
    return std::wstring();
  }
  const long long d = now - setAt;
  if (d <= 0) {
    return L"now.";
  }
  if (d < 60) {
    return FormatPrintf(L"%d seconds ago.", {d});
  }
  if (d < 120) {
    return L"about a minute ago.";
  }
  if (d < 3300) {
    return FormatPrintf(L"%d minutes ago.", {d / 60});
  }
  if (d < 6000) {
    return L"about an hour ago.";
  }
  if (d < 86400) {
    return FormatPrintf(L"about %d hours ago.", {d / 3600});
  }
  if (d < 169200) {
    return L"1 day ago.";
  }
  return FormatPrintf(L"about %d days ago.", {d / 86400});
}

std::wstring FormatFriendStatusLine(const UserInfo& info, std::int64_t now) {
  const std::wstring& message = info.strStatusMessage;
  if (message.empty()) {
    return std::wstring();
  }
  std::wstring line = info.strName;
  line += L' ';
  if (CountUserCharacters(message) > kLongestWholeStatus) {
    line.append(message, 0, UserCharactersLength(message, kCutStatusLength));
    line += L"...";
  } else {
    line += message;
  }
  line += L". ";
  line += FormatRelativeTime(info.strStatusTime, now);
  return line;
}

std::wstring GetProfileLink(const UserInfo& info, std::wstring_view siteAddress) {
  if (info.strUid.empty()) {
    return std::wstring();
  }
  return Link(siteAddress, L"profile.php?id=") + Utf8ToWide(UrlEncode(WideToUtf8(info.strUid)));
}

std::vector<NotificationItem> BuildNotificationItems(const CFacebookClient& client, IClock& clock,
                                                     std::wstring_view siteAddress) {
  const std::int64_t now = clock.Now();
  std::vector<NotificationItem> items;
  std::lock_guard<std::mutex> lock(client.m_csState);
  const ActivityCounts& counts = client.m_counts;
  items.reserve(9 + 2 * client.m_friends.size());

  // Shares count toward the summary although no line of their own shows them.
  const long long total = static_cast<long long>(counts.nMessages) + counts.nPokes +
                          counts.nShares + counts.nFriendRequests + counts.nGroupInvites +
                          counts.nEventInvites + counts.nNewWallPosts;
  if (total >= 1) {
    items.push_back({FormatPrintf(L"New Requests - %d", {total}), Link(siteAddress, L"reqs.php")});
  } else {
    items.push_back({kNoNotifications, std::wstring()});
  }
  items.push_back(
      {FormatPrintf(L"New Messages - %d", {counts.nMessages}), Link(siteAddress, L"inbox/")});
  items.push_back({FormatPrintf(L"Friend Requests - %d", {counts.nFriendRequests}),
                   Link(siteAddress, L"reqs.php#friend")});
  items.push_back({FormatPrintf(L"Group Invites - %d", {counts.nGroupInvites}),
                   Link(siteAddress, L"reqs.php#group")});
  items.push_back({FormatPrintf(L"Event Invites - %d", {counts.nEventInvites}),
                   Link(siteAddress, L"reqs.php#event")});
  items.push_back({FormatPrintf(L"New Wall Posts - %d", {counts.nNewWallPosts}),
                   Link(siteAddress, L"wall.php")});
  items.push_back({FormatPrintf(L"New Pokes - %d", {counts.nPokes}), std::wstring()});

  bool anyBirthday = false;
  for (const UserInfo& info : client.m_friends) {
    if (IsBirthdayToday(info, clock)) {
      if (!anyBirthday) {
        items.push_back({kSeparator, std::wstring()});
        anyBirthday = true;
      }
      items.push_back(
          {FormatPrintf(L"Don't forget to wish %s a Happy Birthday today", {info.strName}),
           GetProfileLink(info, siteAddress)});
    }
  }
  if (!client.m_friends.empty()) {
    items.push_back({kSeparator, std::wstring()});
    for (const UserInfo& info : client.m_friends) {
      std::wstring line = FormatFriendStatusLine(info, now);
      if (!line.empty()) {
        items.push_back({std::move(line), GetProfileLink(info, siteAddress)});
      }
    }
  }
  return items;
}

CNotificationsPopup::CNotificationsPopup(CFacebookClient& client, IClock& clock, IUserShell& shell,
                                         std::wstring siteAddress)
    : m_client(client), m_clock(clock), m_shell(shell), m_strSiteAddress(std::move(siteAddress)) {}

void CNotificationsPopup::RefreshLoggedIn(ICommandBarComboBox& dropdown) {
  dropdown.SetEnabled(true);
  std::wstring signature = BuildActivitySignature(m_client);
  const std::uint32_t tick = m_clock.TickCount();
  // Unsigned arithmetic, so a tick count that wrapped around still measures the interval.
  if (!m_bShowsPlaceholder && signature == m_strLastSignature &&
      tick - m_dwLastRebuildTick <= kRebuildIntervalMs) {
    return;
  }
  m_bShowsPlaceholder = false;
  m_strLastSignature = std::move(signature);
  m_dwLastRebuildTick = tick;
  Fill(dropdown, BuildNotificationItems(m_client, m_clock, m_strSiteAddress));
}

void CNotificationsPopup::ShowLoggedOut(ICommandBarComboBox& dropdown) {
  Fill(dropdown, {{kNoNotifications, std::wstring()}});
  dropdown.SetEnabled(false);
  m_bShowsPlaceholder = true;
}

void CNotificationsPopup::Fill(ICommandBarComboBox& dropdown,
                               const std::vector<NotificationItem>& items) {
  dropdown.Clear();
  m_aLinks.clear();
  for (const NotificationItem& item : items) {
    if (SUCCEEDED(dropdown.AddItem(item.strText))) {
      m_aLinks.push_back(item.strLink);
    }
  }
  dropdown.SetListIndex(1);  // the control shows the summary line
}

void CNotificationsPopup::OnNotificationSelected(ICommandBarComboBox& dropdown) {
  std::int32_t index = 0;
  dropdown.GetListIndex(&index);
  dropdown.SetListIndex(1);
  if (index <= 1) {
    return;  // the summary line opens nothing
  }
  // Whatever line was chosen, the user has looked: the signature changes with the count, so
  // the next refresh rebuilds the list.
  ResetNewWallPosts(m_client);
  const std::size_t k = static_cast<std::size_t>(index) - 1;
  const bool hasLink = k < m_aLinks.size() && !m_aLinks[k].empty();
  // A copy: opening may pump messages, and a refresh in that loop rebuilds m_aLinks.
  const std::wstring address = hasLink ? m_aLinks[k] : m_strSiteAddress;
  m_shell.OpenAddress(address);
}
