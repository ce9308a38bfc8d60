// The Windows media players as the worker asks them, under Wine: iTunes through the stand-in
// local server and its type library, Windows Media Player through the hidden dialog with
// Wine's own player control or a stand-in control, and neither without its main window.
#include <windows.h>
// After windows.h, whose types they need.
#include <gtest/gtest.h>
#include <wmp.h>

#include <memory>
#include <string>

#include "platform/win32/itunes_now_playing_source.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/wmp_remote.h"
#include "tests/platform/now_playing_contract.h"
#include "tests/win32/standins/player_standins.h"

namespace {

// Every test runs in the single-threaded apartment the worker has.
class ApartmentEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { m_pApartment = std::make_unique<CComApartment>(); }
  void TearDown() override { m_pApartment.reset(); }

 private:
  std::unique_ptr<CComApartment> m_pApartment;
};
::testing::Environment* const g_apartment =
    ::testing::AddGlobalTestEnvironment(new ApartmentEnvironment);

CLSID PlayerControlClass() {
  CLSID clsid{};
  CLSIDFromString(const_cast<LPOLESTR>(kPlayerControlClass), &clsid);
  return clsid;
}

// Windows Media Player's window with the stand-in control in place of the real one.
struct WmpStandIn {
  CTopLevelWindow window{L"WMPlayerApp"};
  std::shared_ptr<StandInPlayerRecord> pRecord = std::make_shared<StandInPlayerRecord>();
  CClassOverride control{PlayerControlClass(), CLSCTX_INPROC_SERVER,
                         [record = pRecord](REFIID iid, void** out) {
                           return MakeStandInPlayerControl(record, iid, out);
                         }};
};

NowPlayingHarness MakeITunes() {
  auto standIn = std::make_shared<CITunesStandIn>();
  NowPlayingHarness harness;
  harness.source = std::make_unique<CITunesNowPlayingSource>();
  harness.play = [player = standIn.get()](const std::wstring& title, const std::wstring& artist) {
    return player->Play(title, artist);
  };
  harness.stop = [player = standIn.get()] { player->Pause(); };
  harness.pKeep = standIn;
  return harness;
}

NowPlayingHarness MakeWmp() {
  auto standIn = std::make_shared<WmpStandIn>();
  NowPlayingHarness harness;
  harness.source = std::make_unique<CWmpNowPlayingSource>();
  harness.play = [player = standIn.get()](const std::wstring& title, const std::wstring& artist) {
    player->pRecord->bPlaying = true;
    player->pRecord->strTitle = title;
    player->pRecord->strArtist = artist;
    return player->window.Get() != nullptr && player->control.Registered();
  };
  harness.stop = [player = standIn.get()] { player->pRecord->bPlaying = false; };
  harness.pKeep = standIn;
  return harness;
}

INSTANTIATE_TEST_SUITE_P(Windows, NowPlayingContractTest,
                         ::testing::Values(NowPlayingTarget{"ITunes", &MakeITunes},
                                           NowPlayingTarget{"Wmp", &MakeWmp}),
                         NowPlayingTargetName);
INSTANTIATE_TEST_SUITE_P(Windows, NowPlayingWhilePlayingContractTest,
                         ::testing::Values(NowPlayingTarget{"ITunes", &MakeITunes},
                                           NowPlayingTarget{"Wmp", &MakeWmp}),
                         NowPlayingTargetName);

// Watches this thread's dialogs while it lives: how many were initialised, how many shown.
class CDialogWatch {
 public:
  CDialogWatch() {
    s_pWatch = this;
    m_hHook = SetWindowsHookExW(WH_CALLWNDPROC, &Watch, nullptr, GetCurrentThreadId());
  }
  ~CDialogWatch() {
    UnhookWindowsHookEx(m_hHook);
    s_pWatch = nullptr;
  }
  CDialogWatch(const CDialogWatch&) = delete;
  CDialogWatch& operator=(const CDialogWatch&) = delete;

  bool Hooked() const { return m_hHook != nullptr; }
  int m_nInitialised = 0;
  int m_nShown = 0;
  int m_nDestroyed = 0;

 private:
  static LRESULT CALLBACK Watch(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    wchar_t className[16] = {};
    if (code == HC_ACTION && s_pWatch != nullptr && GetClassNameW(sent->hwnd, className, 16) &&
        lstrcmpW(className, L"#32770") == 0) {
      s_pWatch->m_nInitialised += sent->message == WM_INITDIALOG ? 1 : 0;
      s_pWatch->m_nShown += sent->message == WM_SHOWWINDOW && sent->wParam != 0 ? 1 : 0;
      s_pWatch->m_nDestroyed += sent->message == WM_DESTROY ? 1 : 0;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static CDialogWatch* s_pWatch;
  HHOOK m_hHook = nullptr;
};
CDialogWatch* CDialogWatch::s_pWatch = nullptr;

TEST(ITunesTrackTest, PlayingPausedAndWithoutArtistThroughTheLocalServer) {
  CITunesStandIn player;
  ASSERT_TRUE(player.Started());
  struct Case {
    std::wstring strTitle;  // empty: paused
    std::wstring strArtist;
    HRESULT hr;
  };
  for (const Case& c : {Case{L"Title", L"Artist", S_OK}, Case{L"", L"", E_UNEXPECTED},
                        Case{L"Only Title", L"", S_OK}}) {
    ASSERT_TRUE(c.strTitle.empty() ? player.Pause() : player.Play(c.strTitle, c.strArtist));
    std::wstring title = L"old";
    std::wstring artist = L"old";
    EXPECT_EQ(GetITunesTrack(&title, &artist), c.hr);
    EXPECT_EQ(title, c.strTitle);
    EXPECT_EQ(artist, c.strArtist);
  }
}

// The stand-in control plays only for a container that declared remote hosting under the
// add-in's name; it must be told to stay invisible and be closed and released, with its site
// and the hidden dialog, before the call returns.
TEST(WmpTrackTest, TheControlIsHostedRemotelyInADialogNeverShownAndAllOfItReleased) {
  WmpStandIn player;
  ASSERT_TRUE(player.window.Get() != nullptr && player.control.Registered());
  CDialogWatch dialogs;
  ASSERT_TRUE(dialogs.Hooked());
  for (const bool bPlaying : {true, false}) {
    player.pRecord->bPlaying = bPlaying;
    player.pRecord->strTitle = L"Title";
    player.pRecord->strArtist = L"Artist";
    std::wstring title;
    std::wstring artist;
    EXPECT_EQ(GetWmpTrack(&title, &artist), S_OK);
    EXPECT_EQ(title + L"|" + artist, bPlaying ? L"Title|Artist" : L"|");
  }
  const StandInPlayerRecord& record = *player.pRecord;
  EXPECT_EQ(record.strServiceType, L"Remote");
  EXPECT_EQ(record.strApplicationName, L"Morvane Zenlet");
  EXPECT_EQ(record.strUiMode, L"invisible");
  EXPECT_EQ(player.control.Creations(), 2);
  EXPECT_EQ(record.nClosed, 2);
  EXPECT_EQ(record.nControlsAlive, 0);
  EXPECT_EQ(record.nSitesHeld, 0);
  EXPECT_EQ(dialogs.m_nInitialised, 2);
  EXPECT_EQ(dialogs.m_nDestroyed, 2);
  EXPECT_EQ(dialogs.m_nShown, 0);
}

// Without their main windows neither player is created (a query would otherwise start
// iTunes); with them, a player that cannot be created gives an empty pair at once, and so
// does Wine's own player control, which plays nothing.
TEST(PlayerWindowsTest, NothingIsCreatedWithoutAWindowAndNothingReadFromAPlayerThatIsNotThere) {
  // The real control is there for the dialog to host once the stand-in class is gone.
  TComPtr<IWMPPlayer4> wineControl;
  ASSERT_EQ(CoCreateInstance(PlayerControlClass(), nullptr, CLSCTX_INPROC_SERVER,
                             __uuidof(IWMPPlayer4), wineControl.ReceiveVoid()),
            S_OK);
  wineControl.Reset();
  auto itunes =
      std::make_unique<CClassOverride>(kClsidITunesApp, CLSCTX_LOCAL_SERVER,
                                       [](REFIID, void**) { return CO_E_SERVER_EXEC_FAILURE; });
  auto control = std::make_unique<CClassOverride>(PlayerControlClass(), CLSCTX_INPROC_SERVER,
                                                  [](REFIID, void**) { return E_FAIL; });
  ASSERT_TRUE(itunes->Registered() && control->Registered());
  ASSERT_EQ(FindWindowW(L"iTunes", L"iTunes"), nullptr);
  ASSERT_EQ(FindWindowW(L"WMPlayerApp", nullptr), nullptr);

  // What a query answers; it must leave both strings empty.
  auto ask = [](HRESULT (*query)(std::wstring*, std::wstring*)) {
    std::wstring title = L"old";
    std::wstring artist = L"old";
    const HRESULT hr = query(&title, &artist);
    EXPECT_EQ(title + artist, L"");
    return hr;
  };
  EXPECT_EQ(ask(&GetITunesTrack), E_FAIL);
  EXPECT_EQ(ask(&GetWmpTrack), E_FAIL);
  EXPECT_EQ(itunes->Creations(), 0);
  EXPECT_EQ(control->Creations(), 0);

  CTopLevelWindow itunesWindow(L"iTunes");
  SetWindowTextW(itunesWindow.Get(), L"iTunes");
  CTopLevelWindow wmpWindow(L"WMPlayerApp");
  CDialogWatch dialogs;
  EXPECT_EQ(ask(&GetITunesTrack), CO_E_SERVER_EXEC_FAILURE);
  EXPECT_EQ(ask(&GetWmpTrack), S_OK);
  EXPECT_EQ(itunes->Creations(), 1);
  EXPECT_EQ(control->Creations(), 1);

  control.reset();
  EXPECT_EQ(ask(&GetWmpTrack), S_OK);
  EXPECT_EQ(dialogs.m_nInitialised, 2);
  EXPECT_EQ(dialogs.m_nDestroyed, 2);
  EXPECT_EQ(dialogs.m_nShown, 0);
}

}  // namespace
