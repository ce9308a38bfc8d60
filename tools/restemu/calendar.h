// Dates as the service writes them ("March 5"), and the few date sums the emulator needs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct CalendarDate {
  int nYear = 1970;
  int nMonth = 1;  // 1-12
  int nDay = 1;    // 1-31
};

// The local date (the process's time zone) at `unixTime`.
CalendarDate LocalDateAt(std::int64_t unixTime);
// The date `days` days after (or before) `date`.
CalendarDate AddDays(const CalendarDate& date, std::int64_t days);
// "YYYY-MM-DD" of a real date, or nothing.
std::optional<CalendarDate> ParseIsoDate(std::string_view text);
std::string FormatIsoDate(const CalendarDate& date);
// "January" to "December".
const char* MonthName(int month);

// A birthday as the service shows it, with the emulator's date placeholders filled in:
// "{today}" becomes today's month and day ("March 5"), "{today+N}" and "{today-N}" the date N
// days later or earlier. Any other text stays as it is.
std::string ExpandBirthday(std::string_view text, const CalendarDate& today);
// Whether every "{...}" in `text` is one of the placeholders above.
bool HasValidBirthdayPlaceholders(std::string_view text);
