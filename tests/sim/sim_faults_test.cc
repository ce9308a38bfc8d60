// Fault injection and the button faces of the simulated Office: which call fails and how
// often, that a failed call changes nothing, and PasteFace and CopyFace over the clipboard.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/sim/sim_clipboard.h"
#include "tests/sim/sim_test_support.h"

namespace {

struct FaultCase {
  int nNth;
  bool bPersistent;
  const char* pszPattern;  // one letter per call from the injection on: F fails, S succeeds
};

TEST(SimFaultsTest, TheNthCallFailsOnceOrFromThenOnAndFailedCallsAreCounted) {
  const FaultCase cases[] = {
      {1, false, "FSSS"}, {3, false, "SSFS"}, {2, true, "SFFF"}, {1, true, "FFFF"}};
  for (const FaultCase& c : cases) {
    CSimulatedOutlook host;
    host.outlook.Faults().Inject("_Application.Version", E_OUTOFMEMORY, c.nNth, c.bPersistent);
    std::string pattern;
    for (int i = 0; i < 4; ++i) {
      std::wstring version = L"untouched";
      const HRESULT hr = host.outlook.Application()->GetVersion(&version);
      pattern += hr == E_OUTOFMEMORY ? 'F' : 'S';
      if (hr == E_OUTOFMEMORY) {
        EXPECT_EQ(version, L"untouched");
      }
    }
    EXPECT_EQ(pattern, c.pszPattern) << c.nNth << (c.bPersistent ? " persistent" : " once");
    EXPECT_EQ(host.outlook.Faults().CallCount("_Application.Version"), 4);
  }
}

TEST(SimFaultsTest, AFailedCallChangesNothingAndAdviseFaultsNameTheirSource) {
  CSimulatedOutlook host;
  SimExplorerSetup setup;
  setup.bars = std::vector<SimBarState>{
      SimBar(L"Zenlet", {SimButton(L"Go"), SimBox(office::kControlComboBox, L"Box", {})})};
  host.outlook.OpenExplorer(setup);
  CSimFaults& faults = host.outlook.Faults();
  std::shared_ptr<ICommandBarControl> button = ControlAt(host.outlook, 1, L"Zenlet", 1);
  std::shared_ptr<ICommandBarControl> box = ControlAt(host.outlook, 1, L"Zenlet", 2);

  faults.FailAlways("CommandBarControls.Add", E_FAIL);
  faults.Inject("CommandBarControl.Caption=", E_ACCESSDENIED);
  std::shared_ptr<ICommandBars> bars;
  std::shared_ptr<ICommandBar> bar;
  std::shared_ptr<ICommandBarControls> controls;
  host.outlook.Explorer(1)->GetCommandBars(&bars);
  bars->FindBar(L"Zenlet", &bar);
  bar->GetControls(&controls);
  std::shared_ptr<ICommandBarControl> added = button;
  EXPECT_EQ(controls->AddControl(office::kControlButton, true, &added), E_FAIL);
  EXPECT_EQ(added, nullptr);
  EXPECT_EQ(button->SetCaption(L"Changed"), E_ACCESSDENIED);
  EXPECT_EQ(host.outlook.ReadBar(1, L"Zenlet")->aControls.size(), 2u);
  EXPECT_EQ(host.outlook.ReadBar(1, L"Zenlet")->aControls[0].strCaption, L"Go");

  std::vector<std::string> log;
  CNotingSink sink(&log, "s");
  faults.FailAlways("_CommandBarComboBoxEvents.Advise", E_OUTOFMEMORY);
  std::shared_ptr<ICommandBarComboBox> combo;
  ASSERT_EQ(box->QueryComboBox(&combo), S_OK);
  std::uint32_t cookie = kNotAdvised;
  EXPECT_EQ(combo->Advise(&sink, &cookie), E_OUTOFMEMORY);
  EXPECT_EQ(cookie, kNotAdvised);
  AdviseControl(*button, &sink);  // other sources still advise
  faults.Inject("ConnectionPoint.Advise", E_FAIL);
  EXPECT_EQ(host.outlook.Explorer(1)->Advise(&sink, &cookie), E_FAIL);
  faults.ClearAll();
  EXPECT_EQ(combo->Advise(&sink, &cookie), S_OK);
  EXPECT_EQ(host.outlook.ExplorerSinkCount(1), 2);
  EXPECT_EQ(faults.CallCount("ConnectionPoint.Advise"), 4);

  faults.Inject("SetTimer", E_FAIL);
  EXPECT_EQ(host.outlook.WindowSystem().SetThreadTimer(3000, [] {}), 0u);
  EXPECT_EQ(host.outlook.TimerCount(), 0);
}

class SimFaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SimExplorerSetup setup;
    setup.bars = std::vector<SimBarState>{SimBar(L"Zenlet", {SimButton(L"Face")})};
    m_host.outlook.OpenExplorer(setup);
    ASSERT_EQ(ControlAt(m_host.outlook, 1, L"Zenlet", 1)->QueryButton(&m_spButton), S_OK);
  }

  void Put(const std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>& entries) {
    IClipboard& board = m_host.outlook.Clipboard();
    ASSERT_TRUE(board.Open());
    board.Empty();
    for (const auto& [format, data] : entries) {
      board.SetData(format, data);
    }
    board.Close();
  }

  SimControlState Face() { return m_host.outlook.ReadBar(1, L"Zenlet")->aControls[0]; }

  CSimulatedOutlook m_host;
  std::shared_ptr<ICommandBarButton> m_spButton;
};

TEST_F(SimFaceTest, PasteFacePrefersOfficesOwnFormatsToADeviceIndependentBitmap) {
  IClipboard& board = m_host.outlook.Clipboard();
  const std::uint32_t face = board.RegisterFormat(L"Toolbar Button Face");
  const std::uint32_t mask = board.RegisterFormat(L"Toolbar Button Mask");
  Put({{clipboard_format::kDib, {1, 1}}, {mask, {3}}, {face, {2, 2, 2}}});
  ASSERT_EQ(m_spButton->PasteFace(), S_OK);
  EXPECT_EQ(Face().aPastedFace, (std::vector<std::uint8_t>{2, 2, 2}));
  EXPECT_EQ(Face().aPastedMask, std::vector<std::uint8_t>{3});
  EXPECT_FALSE(Face().bFaceFromDib);

  Put({{clipboard_format::kUnicodeText, {'a', 0}}, {clipboard_format::kDib, {1, 1}}});
  ASSERT_EQ(m_spButton->PasteFace(), S_OK);
  EXPECT_EQ(Face().aPastedFace, (std::vector<std::uint8_t>{1, 1}));
  EXPECT_TRUE(Face().aPastedMask.empty());
  EXPECT_TRUE(Face().bFaceFromDib);

  Put({{clipboard_format::kUnicodeText, {'a', 0}}});
  EXPECT_EQ(m_spButton->PasteFace(), E_FAIL);
  ASSERT_TRUE(board.Open());  // Office cannot open a clipboard someone holds
  EXPECT_EQ(m_spButton->PasteFace(), sim_error::kClipboardCantOpen);
  EXPECT_EQ(m_spButton->CopyFace(), sim_error::kClipboardCantOpen);
  board.Close();
}

TEST_F(SimFaceTest, CopyFacePutsTheFaceAndTheSmallerMaskUnderOfficesRegisteredNames) {
  PixelImage picture{16, 16, std::vector<std::uint32_t>(256, 0x3B5998)};
  EXPECT_EQ(m_spButton->SetPicture(PixelImage{16, 16, {}}), E_INVALIDARG);
  ASSERT_EQ(m_spButton->SetPicture(picture), S_OK);
  EXPECT_EQ(Face().picture.aPixels, picture.aPixels);
  ASSERT_EQ(m_spButton->CopyFace(), S_OK);

  // Found as Office's formats are found: registered names above the predefined formats,
  // the larger block the face.
  IClipboard& board = m_host.outlook.Clipboard();
  ASSERT_TRUE(board.Open());
  std::vector<std::pair<std::wstring, std::size_t>> found;
  for (std::uint32_t format : board.Formats()) {
    if (format > 18 && !board.FormatName(format).empty()) {
      found.emplace_back(board.FormatName(format), board.DataSize(format));
    }
  }
  board.Close();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].first, L"Toolbar Button Face");
  EXPECT_EQ(found[0].second, 40u + 16u * 48u);  // header and 24-bit rows
  EXPECT_EQ(found[1].first, L"Toolbar Button Mask");
  EXPECT_EQ(found[1].second, 40u + 8u + 16u * 4u);  // header, two colours, 1-bit rows

  // Pasting it back gives the button that face.
  ASSERT_EQ(m_spButton->PasteFace(), S_OK);
  EXPECT_EQ(Face().aPastedFace.size(), found[0].second);
  EXPECT_TRUE(Face().picture.aPixels.empty());
}

}  // namespace
