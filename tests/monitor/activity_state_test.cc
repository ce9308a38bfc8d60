#include "monitor/activity_state.h"

#include <gtest/gtest.h>

namespace {

struct BirthdayCase {
  const wchar_t* szText;
  std::uint16_t wMonth;
  std::uint16_t wDay;
  bool bBoth;
};

class ParseBirthdayTest : public ::testing::TestWithParam<BirthdayCase> {};

TEST_P(ParseBirthdayTest, MonthWordAndLeadingDayNumber) {
  UserInfo info;
  info.strBirthday = GetParam().szText;
  EXPECT_EQ(ParseBirthday(info), GetParam().bBoth);
  EXPECT_EQ(info.wBirthdayMonth, GetParam().wMonth);
  EXPECT_EQ(info.wBirthdayDay, GetParam().wDay);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseBirthdayTest,
    ::testing::Values(BirthdayCase{L"March 5, 1980", 3, 5, true},
                      BirthdayCase{L"Mar 5", 3, 5, true}, BirthdayCase{L"november 3", 11, 3, true},
                      BirthdayCase{L"december 31", 12, 31, true},
                      BirthdayCase{L"MAY  7", 5, 7, true},    // a run of blanks splits once
                      BirthdayCase{L"5 March", 0, 0, false},  // no number, no month word
                      BirthdayCase{L"June", 6, 0, false}, BirthdayCase{L"June 0", 6, 0, false},
                      BirthdayCase{L"June 32", 6, 0, false}, BirthdayCase{L"June -5", 6, 0, false},
                      BirthdayCase{L"June x5", 6, 0, false},
                      BirthdayCase{L"June 99999999999999", 6, 0, false},
                      BirthdayCase{L"Ju 5", 0, 5, false}, BirthdayCase{L"Smarch 5", 0, 5, false}));

TEST(ParseBirthdayTest, EmptyTextChangesNothingAndUnknownMonthKeepsTheOldOne) {
  UserInfo info;
  info.wBirthdayMonth = 4;
  info.wBirthdayDay = 9;
  EXPECT_FALSE(ParseBirthday(info));
  EXPECT_EQ(info.wBirthdayMonth, 4);
  EXPECT_EQ(info.wBirthdayDay, 9);

  info.strBirthday = L"Someday 12";
  EXPECT_TRUE(ParseBirthday(info));
  EXPECT_EQ(info.wBirthdayMonth, 4);
  EXPECT_EQ(info.wBirthdayDay, 12);
}

}  // namespace
