// The clipboard contract, run against every implementation this build has: the simulated
// system clipboard (the Windows adapter joins with its own harness).
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sim/sim_clipboard.h"
#include "tests/support/simulated_outlook.h"

namespace {

struct ClipboardHarness {
  std::shared_ptr<void> spOwner;
  IClipboard* pClipboard = nullptr;
};

ClipboardHarness MakeSimulated() {
  auto owner = std::make_shared<CSimulatedOutlook>();
  return {owner, &owner->outlook.Clipboard()};
}

class ClipboardContractTest : public ::testing::TestWithParam<ClipboardHarness (*)()> {
 protected:
  void SetUp() override { m_harness = GetParam()(); }
  void TearDown() override { Board().Close(); }
  IClipboard& Board() { return *m_harness.pClipboard; }

  ClipboardHarness m_harness;
};

const std::vector<std::uint8_t> kText = {'h', 0, 'i', 0, 0, 0};

TEST_P(ClipboardContractTest, OnlyAnOpenClipboardCanBeReadOrWrittenAndOnlyOneOpenAtATime) {
  std::vector<std::uint8_t> data;
  EXPECT_FALSE(Board().SetData(clipboard_format::kUnicodeText, kText));
  EXPECT_FALSE(Board().Empty());
  ASSERT_TRUE(Board().Open());
  EXPECT_FALSE(Board().Open());
  ASSERT_TRUE(Board().Empty());
  ASSERT_TRUE(Board().SetData(clipboard_format::kUnicodeText, kText));
  Board().Close();
  EXPECT_FALSE(Board().GetData(clipboard_format::kUnicodeText, &data));
  EXPECT_TRUE(Board().Formats().empty());
  EXPECT_EQ(Board().DataSize(clipboard_format::kUnicodeText), 0u);

  ASSERT_TRUE(Board().Open());
  ASSERT_TRUE(Board().GetData(clipboard_format::kUnicodeText, &data));
  EXPECT_EQ(data, kText);
}

TEST_P(ClipboardContractTest, BlocksKeepTheirOrderAreReplacedByFormatAndGoWithEmpty) {
  const std::uint32_t custom = Board().RegisterFormat(L"Zenlet Contract Format");
  ASSERT_TRUE(Board().Open());
  ASSERT_TRUE(Board().Empty());
  ASSERT_TRUE(Board().SetData(clipboard_format::kUnicodeText, kText));
  ASSERT_TRUE(Board().SetData(custom, {1, 2, 3}));
  ASSERT_TRUE(Board().SetData(clipboard_format::kUnicodeText, {9}));
  EXPECT_EQ(Board().Formats(),
            (std::vector<std::uint32_t>{clipboard_format::kUnicodeText, custom}));
  EXPECT_EQ(Board().DataSize(custom), 3u);
  std::vector<std::uint8_t> data;
  ASSERT_TRUE(Board().GetData(clipboard_format::kUnicodeText, &data));
  EXPECT_EQ(data, std::vector<std::uint8_t>{9});
  EXPECT_FALSE(Board().GetData(clipboard_format::kDib, &data));
  ASSERT_TRUE(Board().Empty());
  EXPECT_TRUE(Board().Formats().empty());
}

TEST_P(ClipboardContractTest, RegisteredNamesGetOneNumberEachFrom0xC000WhatEverTheirCase) {
  const std::uint32_t face = Board().RegisterFormat(L"Toolbar Button Face");
  EXPECT_GE(face, 0xC000u);
  EXPECT_EQ(Board().RegisterFormat(L"TOOLBAR BUTTON FACE"), face);
  const std::uint32_t mask = Board().RegisterFormat(L"Toolbar Button Mask");
  EXPECT_NE(mask, face);
  EXPECT_EQ(Board().FormatName(face), L"Toolbar Button Face");
  EXPECT_EQ(Board().FormatName(clipboard_format::kDib), L"");
  EXPECT_EQ(Board().RegisterFormat(L""), 0u);
}

std::string HarnessName(const ::testing::TestParamInfo<ClipboardHarness (*)()>&) {
  return "Clipboard";
}

INSTANTIATE_TEST_SUITE_P(Simulated, ClipboardContractTest, ::testing::Values(&MakeSimulated),
                         HarnessName);

}  // namespace
