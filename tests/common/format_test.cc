#include "common/format.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatPrintfTest, FillsNumbersAndWideTextInOrder) {
  EXPECT_EQ(FormatPrintf(L"has %d messages in the Inbox", {7}), L"has 7 messages in the Inbox");
  EXPECT_EQ(FormatPrintf(L"%s|%s|%s", {L"Ann", L"is at work", L"1200"}), L"Ann|is at work|1200");
  EXPECT_EQ(FormatPrintf(L"%d|%d|%d", {-1, 0, 2147483647}), L"-1|0|2147483647");
  EXPECT_EQ(FormatPrintf(L"MV%I64d", {1234567890123LL}), L"MV1234567890123");
  EXPECT_EQ(FormatPrintf(L"100%% of %ld", {5L}), L"100% of 5");
}

TEST(FormatPrintfTest, MissingArgumentsAndUnknownConversionsCannotReadPastTheList) {
  EXPECT_EQ(FormatPrintf(L"%s and %s", {L"one"}), L"one and ");
  EXPECT_EQ(FormatPrintf(L"%x %d", {3}), L"%x 3");
  EXPECT_EQ(FormatPrintf(L"trailing %", {}), L"trailing %");
  EXPECT_EQ(FormatPrintf(L"Don't forget to wish %s a Happy Birthday today", {L"Bo"}),
            L"Don't forget to wish Bo a Happy Birthday today");
}

TEST(FormatInsertsTest, NumberedInsertsMayRepeatAndComeInAnyOrder) {
  EXPECT_EQ(FormatInserts(L"Code: %1!s!\nMessage: %2!s!", {L"102", L"Session key invalid"}),
            L"Code: 102\nMessage: Session key invalid");
  EXPECT_EQ(FormatInserts(L"%2!s! before %1!s!, then %1!s!", {L"a", L"b"}), L"b before a, then a");
  EXPECT_EQ(FormatInserts(L"Error: %1!d!.", {-4}), L"Error: -4.");
  EXPECT_EQ(FormatInserts(L"plain %1 insert", {L"x"}), L"plain x insert");
}

TEST(FormatInsertsTest, EscapesAndMissingInserts) {
  EXPECT_EQ(FormatInserts(L"50%% done%n%!%.", {}), L"50% done\n!.");
  EXPECT_EQ(FormatInserts(L"cut here%0 never shown", {}), L"cut here");
  EXPECT_EQ(FormatInserts(L"[%3!s!]", {L"only one"}), L"[]");
  // Two digits at most name an insert; the rest is text.
  EXPECT_EQ(FormatInserts(L"%123", {L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i", L"j",
                                    L"k", L"l"}),
            L"l3");
}

}  // namespace
