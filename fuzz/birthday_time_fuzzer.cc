// A friend's record as the drop-down reads it: the birthday text turned into a month and a
// day, the status time into "how long ago", and the status line and profile link built from
// them. Input: four bytes of "now" (Unix seconds), a byte each of today's month and day, then
// the birthday, status time, status text, name and uid on lines of their own.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/text.h"
#include "fuzz/fuzz_support.h"
#include "monitor/activity_state.h"
#include "monitor/notifications_popup.h"
#include "tests/support/manual_clock.h"

namespace {

constexpr std::wstring_view kSite = L"http://www.example.com/";

bool IsDigits(std::wstring_view text) {
  return !text.empty() && text.find_first_not_of(L"0123456789") == std::wstring_view::npos;
}

bool StripPrefix(std::wstring_view& text, std::wstring_view prefix) {
  if (text.substr(0, prefix.size()) != prefix) {
    return false;
  }
  text.remove_prefix(prefix.size());
  return true;
}

// One of the texts FormatRelativeTime gives, with a positive number where it has one.
bool IsRelativeTime(std::wstring_view text) {
  for (std::wstring_view fixed :
       {L"now.", L"about a minute ago.", L"about an hour ago.", L"1 day ago."}) {
    if (text == fixed) {
      return true;
    }
  }
  const bool about = StripPrefix(text, L"about ");
  for (std::wstring_view unit :
       {L" seconds ago.", L" minutes ago.", L" hours ago.", L" days ago."}) {
    if (text.size() > unit.size() && text.substr(text.size() - unit.size()) == unit) {
      const bool aboutWanted = unit == L" hours ago." || unit == L" days ago.";
      const std::wstring_view number = text.substr(0, text.size() - unit.size());
      return about == aboutWanted && IsDigits(number) && number[0] != L'0';
    }
  }
  return false;
}

// URL-encoded text: nothing that could end the query or start another part of the address.
bool IsUrlEncoded(std::wstring_view text) {
  return text.find_first_not_of(
             L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
             L"0123456789-_.~%") == std::wstring_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) {
    return 0;
  }
  const std::int64_t now =
      static_cast<std::int64_t>(data[0]) << 24 | data[1] << 16 | data[2] << 8 | data[3];
  const int month = data[4] % 12 + 1;
  const int day = data[5] % 31 + 1;
  const std::vector<std::string_view> lines = SplitLines(AsText(data + 6, size - 6));
  const auto line = [&lines](std::size_t k) {
    return k < lines.size() ? Utf8ToWide(lines[k]) : std::wstring();
  };

  UserInfo info;
  info.strBirthday = line(0);
  info.strStatusTime = line(1);
  info.strStatusMessage = line(2);
  info.strName = line(3);
  info.strUid = line(4);

  // A text that gives nothing leaves what the record held.
  info.wBirthdayMonth = 7;
  info.wBirthdayDay = 9;
  const bool both = ParseBirthday(info);
  if (info.strBirthday.empty()) {
    Require(!both && info.wBirthdayMonth == 7 && info.wBirthdayDay == 9,
            "an empty text changes nothing");
  } else {
    Require(info.wBirthdayMonth >= 1 && info.wBirthdayMonth <= 12, "the month is 1-12 or kept");
    Require(info.wBirthdayDay <= 31, "the day is 1-31 or 0");
    Require(both == (info.wBirthdayDay != 0), "a birthday is known when its day is");
  }
  info.wBirthdayMonth = 0;
  info.wBirthdayDay = 0;
  Require(ParseBirthday(info) == (info.wBirthdayMonth != 0 && info.wBirthdayDay != 0),
          "a birthday is known when its month and day are");

  CManualClock clock(now);
  clock.SetToday({2026, month, day});
  Require(IsBirthdayToday(info, clock) ==
              (both && info.wBirthdayMonth == month && info.wBirthdayDay == day),
          "a birthday is today when its month and day are today's");

  const std::wstring ago = FormatRelativeTime(info.strStatusTime, now);
  Require(ago.empty() || IsRelativeTime(ago), "a relative time is one of its texts");

  const std::wstring statusLine = FormatFriendStatusLine(info, now);
  Require(statusLine.empty() == info.strStatusMessage.empty(),
          "a friend has a status line exactly when they have a status");
  if (!statusLine.empty()) {
    Require(statusLine.compare(0, info.strName.size() + 1, info.strName + L" ") == 0,
            "a status line begins with the name");
    Require(statusLine.size() >= ago.size() &&
                statusLine.compare(statusLine.size() - ago.size(), ago.size(), ago) == 0,
            "a status line ends with the relative time");
    const std::size_t shown = statusLine.size() - info.strName.size() - 1 - 2 - ago.size();
    Require(CountUserCharacters(
                std::wstring_view(statusLine).substr(info.strName.size() + 1, shown)) <= 180,
            "a status is shown in at most 180 characters");
  }

  const std::wstring profile = GetProfileLink(info, kSite);
  std::wstring_view link = profile;
  Require(link.empty() == info.strUid.empty(), "a friend has a profile link exactly with a uid");
  if (!link.empty()) {
    Require(StripPrefix(link, kSite) && StripPrefix(link, L"profile.php?id=") && IsUrlEncoded(link),
            "a profile link is the profile page with the uid encoded in its query");
  }
  return 0;
}
