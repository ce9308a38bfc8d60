#include "common/text.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) {
    out.push_back(static_cast<std::uint8_t>(v));
  }
  return out;
}

TEST(TextTest, NonAsciiTextSurvivesEveryRoundTrip) {
  // Latin, Greek, CJK and an emoji beyond the Basic Multilingual Plane.
  const std::string utf8 = "caf\xC3\xA9 \xCE\xB1\xCE\xB2 \xE4\xB8\xAD \xF0\x9F\x98\x80";
  const std::wstring wide = Utf8ToWide(utf8);
  EXPECT_EQ(WideToUtf8(wide), utf8);

  const std::vector<std::uint8_t> utf16 = WideToUtf16Le(wide, true);
  EXPECT_EQ(Utf16LeToWide(utf16.data(), utf16.size()), wide);
  EXPECT_EQ(Utf16Length(wide), 12u);  // the emoji takes two UTF-16 units
}

TEST(TextTest, AstralCharacterBecomesASurrogatePairInUtf16) {
  const std::wstring wide = Utf8ToWide("\xF0\x9F\x98\x80");  // U+1F600
  EXPECT_EQ(WideToUtf16Le(wide, false), Bytes({0x3D, 0xD8, 0x00, 0xDE}));
  EXPECT_EQ(WideToUtf16Le(wide, true), Bytes({0x3D, 0xD8, 0x00, 0xDE, 0x00, 0x00}));

  const std::vector<std::uint8_t> pair = Bytes({0x3D, 0xD8, 0x00, 0xDE});
  EXPECT_EQ(WideToUtf8(Utf16LeToWide(pair.data(), pair.size())), "\xF0\x9F\x98\x80");
}

TEST(TextTest, LoneSurrogatesAndBrokenUtf8BecomeReplacementCharacters) {
  const std::vector<std::uint8_t> lone = Bytes({0x3D, 0xD8, 0x41, 0x00});  // high surrogate, 'A'
  EXPECT_EQ(WideToUtf8(Utf16LeToWide(lone.data(), lone.size())), "\xEF\xBF\xBD" "A");

  // A truncated sequence, an overlong '/', an encoded surrogate and a stray continuation.
  EXPECT_EQ(Utf8ToWide("a\xC3"), std::wstring(L"a\xFFFD"));
  EXPECT_EQ(Utf8ToWide("\xC0\xAF"), std::wstring(L"\xFFFD\xFFFD"));
  EXPECT_EQ(Utf8ToWide("\xED\xA0\x80z"), std::wstring(L"\xFFFD\xFFFD\xFFFDz"));
  EXPECT_EQ(Utf8ToWide("\x80x"), std::wstring(L"\xFFFDx"));
}

TEST(TextTest, Utf16ReadingStopsAtTheTerminatorAndIgnoresAnOddByte) {
  const std::vector<std::uint8_t> bytes = Bytes({'h', 0, 'i', 0, 0, 0, 'x', 0});
  EXPECT_EQ(Utf16LeToWide(bytes.data(), bytes.size()), L"hi");
  const std::vector<std::uint8_t> odd = Bytes({'o', 0, 'k', 0, 'z'});
  EXPECT_EQ(Utf16LeToWide(odd.data(), odd.size()), L"ok");
  EXPECT_EQ(Utf16LeToWide(nullptr, 0), L"");
}

TEST(TextTest, EmptyTextConvertsToEmptyTextOrJustTheTerminator) {
  EXPECT_EQ(Utf8ToWide(""), L"");
  EXPECT_EQ(WideToUtf8(L""), "");
  EXPECT_EQ(WideToUtf16Le(L"", true), Bytes({0, 0}));
  EXPECT_TRUE(WideToUtf16Le(L"", false).empty());
}

}  // namespace
