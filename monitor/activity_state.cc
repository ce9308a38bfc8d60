#include "monitor/activity_state.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <mutex>
#include <string>
#include <string_view>

#include "common/format.h"
#include "facebook/facebook_client.h"
#include "platform/clock.h"

namespace {

constexpr std::wstring_view kMonthAbbrevs[] = {L"jan", L"feb", L"mar", L"apr", L"may", L"jun",
                                               L"jul", L"aug", L"sep", L"oct", L"nov", L"dec"};

wchar_t AsciiLower(wchar_t c) {
  return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c;
}

bool StartsWithIgnoringCase(std::wstring_view word, std::wstring_view prefix) {
  if (word.size() < prefix.size()) {
    return false;
  }
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(word[i]) != prefix[i]) {
      return false;
    }
  }
  return true;
}

// The leading decimal number of `word`, with an optional minus sign: "5," gives 5, "x5"
// gives 0. Large values stop growing once they can no longer be a day.
std::int32_t LeadingNumber(std::wstring_view word) {
  std::size_t at = 0;
  const bool negative = !word.empty() && word[0] == L'-';
  if (negative) {
    ++at;
  }
  std::int32_t value = 0;
  for (; at < word.size() && word[at] >= L'0' && word[at] <= L'9'; ++at) {
    value = value * 10 + (word[at] - L'0');
    if (value > 1000) {
      value = 1000;
    }
  }
  return negative ? -value : value;
}

// The first two words of `text`, split at blanks; runs of blanks separate like one.
void FirstTwoWords(std::wstring_view text, std::wstring_view& first, std::wstring_view& second) {
  std::wstring_view* words[] = {&first, &second};
  std::size_t at = 0;
  for (std::wstring_view* word : words) {
    at = text.find_first_not_of(L' ', at);
    if (at == std::wstring_view::npos) {
      return;
    }
    const std::size_t end = text.find(L' ', at);
    *word = text.substr(at, end == std::wstring_view::npos ? end : end - at);
    at = end;
  }
}

// A text field as "<length>:<text>": the length tells where the text ends, so a "|" or a
// digit inside it can never be read as the start of the next field.
void AppendField(std::wstring& out, const std::wstring& text) {
  out += std::to_wstring(text.size());
  out += L':';
  out += text;
}

// What FormatStatus gives, appended to `out` without a string of its own.
void AppendStatus(std::wstring& out, const UserInfo& info) {
  AppendField(out, info.strName);
  out += L'|';
  AppendField(out, info.strStatusMessage);
  out += L'|';
  AppendField(out, info.strStatusTime);
}

}  // namespace

bool ParseBirthday(UserInfo& info) {
  if (info.strBirthday.empty()) {
    return false;
  }
  std::wstring_view monthWord;
  std::wstring_view dayWord;
  FirstTwoWords(info.strBirthday, monthWord, dayWord);

  const std::int32_t day = LeadingNumber(dayWord);
  info.wBirthdayDay = static_cast<std::uint16_t>(day >= 1 && day <= 31 ? day : 0);
  for (std::size_t i = 0; i < std::size(kMonthAbbrevs); ++i) {
    if (StartsWithIgnoringCase(monthWord, kMonthAbbrevs[i])) {
      info.wBirthdayMonth = static_cast<std::uint16_t>(i + 1);
    }
  }
  return info.wBirthdayMonth != 0 && info.wBirthdayDay != 0;
}

std::wstring_view MonthAbbrev(int month) {
  return kMonthAbbrevs[std::clamp(month, 1, 12) - 1];
}

bool IsBirthdayToday(const UserInfo& info, IClock& clock) {
  if (info.wBirthdayMonth == 0 || info.wBirthdayDay == 0) {
    return false;
  }
  const LocalDate today = clock.Today();
  return info.wBirthdayMonth == today.nMonth && info.wBirthdayDay == today.nDay;
}

std::wstring FormatCounts(const ActivityCounts& counts) {
  return FormatPrintf(L"%d|%d|%d|%d|%d|%d|%d",
                      {counts.nMessages, counts.nPokes, counts.nShares, counts.nFriendRequests,
                       counts.nGroupInvites, counts.nEventInvites, counts.nNewWallPosts});
}

std::wstring FormatStatus(const UserInfo& info) {
  std::wstring text;
  AppendStatus(text, info);
  return text;
}

std::wstring BuildActivitySignature(const CFacebookClient& client) {
  std::lock_guard<std::mutex> lock(client.m_csState);
  std::wstring signature;
  // One allocation for the whole text: the fields with their lengths and separators, and the
  // counts.
  std::size_t size = 96 + client.m_self.strName.size() + client.m_self.strStatusMessage.size() +
                     client.m_self.strStatusTime.size();
  for (const UserInfo& info : client.m_friends) {
    size += 16 + info.strName.size() + info.strStatusMessage.size() + info.strStatusTime.size();
  }
  signature.reserve(size);
  AppendStatus(signature, client.m_self);
  signature += L'|';
  signature += FormatCounts(client.m_counts);  // seven numbers: it ends at the seventh
  for (const UserInfo& info : client.m_friends) {
    signature += L'|';
    AppendStatus(signature, info);
  }
  return signature;
}

void ResetNewWallPosts(CFacebookClient& client) {
  std::lock_guard<std::mutex> lock(client.m_csState);
  client.m_counts.nNewWallPosts = 0;
}
