#include "tools/restemu/calendar.h"

#include <cstdio>
#include <ctime>
#include <utility>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

CalendarDate CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  CalendarDate date;
  date.nDay = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  date.nMonth = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  date.nYear = static_cast<int>(yearOfEra + era * 400 + (date.nMonth <= 2 ? 1 : 0));
  return date;
}

// Reads "{today}", "{today+N}" or "{today-N}" at the start of `text`: the offset in days and
// the length read, or nothing.
std::optional<std::pair<std::int64_t, std::size_t>> ReadPlaceholder(std::string_view text) {
  static constexpr std::string_view kStart = "{today";
  if (text.substr(0, kStart.size()) != kStart) {
    return std::nullopt;
  }
  std::size_t i = kStart.size();
  std::int64_t offset = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    const bool bBackwards = text[i] == '-';
    std::size_t digits = 0;
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 6; ++i, ++digits) {
      offset = offset * 10 + (text[i] - '0');
    }
    if (digits == 0) {
      return std::nullopt;
    }
    offset = bBackwards ? -offset : offset;
  }
  if (i >= text.size() || text[i] != '}') {
    return std::nullopt;
  }
  return std::make_pair(offset, i + 1);
}

}  // namespace

CalendarDate LocalDateAt(std::int64_t unixTime) {
  const std::time_t time = static_cast<std::time_t>(unixTime);
  std::tm local{};
  localtime_r(&time, &local);
  return CalendarDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

CalendarDate AddDays(const CalendarDate& date, std::int64_t days) {
  return CivilFromDays(DaysFromCivil(date.nYear, date.nMonth, date.nDay) + days);
}

std::optional<CalendarDate> ParseIsoDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
    return std::nullopt;
  }
  int fields[3] = {0, 0, 0};
  const std::size_t starts[3] = {0, 5, 8};
  const std::size_t lengths[3] = {4, 2, 2};
  for (int f = 0; f < 3; ++f) {
    for (std::size_t k = 0; k < lengths[f]; ++k) {
      const char c = text[starts[f] + k];
      if (c < '0' || c > '9') {
        return std::nullopt;
      }
      fields[f] = fields[f] * 10 + (c - '0');
    }
  }
  const CalendarDate date{fields[0], fields[1], fields[2]};
  if (date.nMonth < 1 || date.nMonth > 12 || date.nDay < 1) {
    return std::nullopt;
  }
  // A day past the month's end comes back as another date.
  const CalendarDate check = AddDays(date, 0);
  if (check.nMonth != date.nMonth || check.nDay != date.nDay) {
    return std::nullopt;
  }
  return date;
}

std::string FormatIsoDate(const CalendarDate& date) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.nYear % 10000, date.nMonth % 100,
                date.nDay % 100);
  return text;
}

const char* MonthName(int month) {
  static const char* const kNames[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};
  return month >= 1 && month <= 12 ? kNames[month - 1] : "";
}

std::string ExpandBirthday(std::string_view text, const CalendarDate& today) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto placeholder = text[i] == '{' ? ReadPlaceholder(text.substr(i)) : std::nullopt;
    if (!placeholder) {
      out.push_back(text[i++]);
      continue;
    }
    const CalendarDate date = AddDays(today, placeholder->first);
    out += MonthName(date.nMonth);
    out += ' ';
    out += std::to_string(date.nDay);
    i += placeholder->second;
  }
  return out;
}

bool HasValidBirthdayPlaceholders(std::string_view text) {
  for (std::size_t i = text.find('{'); i != std::string_view::npos; i = text.find('{', i + 1)) {
    if (!ReadPlaceholder(text.substr(i))) {
      return false;
    }
  }
  return true;
}
