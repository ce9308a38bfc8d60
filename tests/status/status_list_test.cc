#include "status/status_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/outlook_host.h"
#include "platform/sim/sim_outlook.h"
#include "settings/options.h"
#include "status/remembered_statuses.h"
#include "tests/facebook/client_harness.h"
#include "tests/support/in_memory_data_protector.h"
#include "tests/support/in_memory_registry.h"
#include "tests/support/sim_controls.h"

namespace {

const std::vector<std::wstring> kPresets = {L"is at work", L"is at home", L"is with the family"};

std::vector<std::wstring> Join(std::vector<std::wstring> a, const std::vector<std::wstring>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class StatusListTest : public ::testing::Test {
 protected:
  std::vector<std::wstring> StoredValues() {
    CFBOpts reloaded(&m_registry, &m_protector, nullptr);
    reloaded.Load();
    std::vector<std::wstring> values;
    for (const CUserStatusOpt& value : reloaded.m_aStatusValues) {
      values.push_back(value.m_strStatus);
    }
    return values;
  }
  void Fill() { m_list.FillComboBox(*m_box.spBox); }
  std::int64_t Rebuilds() { return m_outlook.Faults().CallCount("CommandBarComboBox.Clear"); }
  CStatusList MakeList() {
    return CStatusList(
        m_remembered, m_harness.client, [this] { return m_strNowPlaying; },
        [this](std::shared_ptr<IOutlookApplication>* application) {
          *application = m_outlook.Application();
          return S_OK;
        });
  }

  CInMemoryRegistry m_registry;
  CInMemoryDataProtector m_protector;
  CFBOpts m_options{&m_registry, &m_protector, nullptr};
  CRememberedStatuses m_remembered{m_options};
  ClientHarness m_harness;
  std::wstring m_strNowPlaying;
  CSimOutlook m_outlook{m_harness.clock};
  LoneComboBox m_box = AddLoneComboBox(m_outlook, office::kControlComboBox);
  CStatusList m_list = MakeList();
  const std::vector<std::wstring>& m_aValues = m_remembered.Values();
};

TEST_F(StatusListTest, TheBoxListsRememberedValuesPresetsNowPlayingAndTheInbox) {
  m_options.m_aStatusValues = {CUserStatusOpt(L"is tired"), CUserStatusOpt(L""),
                               CUserStatusOpt(L"is fine")};
  m_remembered.LoadFromOptions();
  Fill();
  EXPECT_EQ(m_box.Items(), Join({L"is tired", L"is fine"}, kPresets));

  m_strNowPlaying = L"is listening to Ann - Song";
  m_outlook.SetInboxCount(7);
  Fill();
  EXPECT_EQ(m_box.Items(), Join(Join({L"is tired", L"is fine"}, kPresets),
                                {L"is listening to Ann - Song", L"has 7 messages in the Inbox"}));

  // An Inbox that cannot be read counts as empty, and its line goes.
  m_outlook.Faults().FailAlways("_Items.Count", E_FAIL);
  Fill();
  EXPECT_EQ(m_box.Items().back(), L"is listening to Ann - Song");
}

TEST_F(StatusListTest, PostedValuesAreRememberedNewestFirstAndAtMostTwenty) {
  m_list.Remember(0, L"is typing");
  EXPECT_EQ(StoredValues(), std::vector<std::wstring>{L"is typing"});

  for (int i = 1; i <= 20; ++i) {
    m_list.Remember(0, L"value " + std::to_wstring(i));
  }
  ASSERT_EQ(m_aValues.size(), 20u);
  EXPECT_EQ(m_aValues.front(), L"value 20");
  EXPECT_EQ(m_aValues.back(), L"value 1");  // "is typing" was the oldest
  EXPECT_EQ(StoredValues(), m_aValues);

  // The third remembered value, chosen from the list, moves to the front.
  Fill();
  m_list.Remember(3, L"value 18");
  EXPECT_EQ(m_aValues[0], L"value 18");
  EXPECT_EQ(m_aValues[1], L"value 20");
  EXPECT_EQ(m_aValues[2], L"value 19");
  EXPECT_EQ(m_aValues[3], L"value 17");

  // Typed again rather than chosen, a value is listed twice.
  m_list.Remember(0, L"value 17");
  EXPECT_EQ(m_aValues[0], L"value 17");
  EXPECT_EQ(m_aValues[4], L"value 17");
}

// Regression: each explorer kept a copy of the remembered values and wrote the stored list
// from it, so "is testing A" posted in one window was lost to "is testing B" posted in
// another. The windows now share one list; a box still showing the list from before another
// window's post has its pick found by text, not by a position that has moved.
TEST_F(StatusListTest, EveryWindowsBoxShowsTheOneListAndAPickFromAnOlderListFindsItsText) {
  LoneComboBox otherBox = AddLoneComboBox(m_outlook, office::kControlComboBox);
  CStatusList other = MakeList();
  Fill();
  other.FillComboBox(*otherBox.spBox);

  m_list.Remember(0, L"is testing A");
  other.Remember(0, L"is testing B");
  EXPECT_EQ(StoredValues(), (std::vector<std::wstring>{L"is testing B", L"is testing A"}));
  Fill();
  EXPECT_EQ(m_box.Items(), Join({L"is testing B", L"is testing A"}, kPresets));

  // The other box shows "is testing B" first; the user picks it there after this box has
  // posted "is testing C", which moved it to second place.
  other.FillComboBox(*otherBox.spBox);
  m_list.Remember(0, L"is testing C");
  other.Remember(1, L"is testing B");
  EXPECT_EQ(m_aValues,
            (std::vector<std::wstring>{L"is testing B", L"is testing C", L"is testing A"}));
  // The first preset, picked from the older box, is still a preset.
  other.Remember(3, L"is at work");
  EXPECT_EQ(m_aValues.size(), 3u);
  other.FillComboBox(*otherBox.spBox);
  EXPECT_EQ(otherBox.Items(), Join({L"is testing B", L"is testing C", L"is testing A"}, kPresets));
}

TEST_F(StatusListTest, APresetOrALiveValueChangesNothingAndSavesNothing) {
  m_list.Remember(0, L"is typing");
  Fill();
  const std::int64_t clears = Rebuilds();

  m_list.Remember(2, L"is at work");  // item 2 is the first preset
  m_list.Remember(0, L"");

  EXPECT_EQ(m_aValues, std::vector<std::wstring>{L"is typing"});
  EXPECT_EQ(StoredValues(), std::vector<std::wstring>{L"is typing"});
  Fill();
  EXPECT_EQ(Rebuilds(), clears);  // not even a rebuild
}

TEST_F(StatusListTest, ALoginOrLogoutRebuildsTheBoxAndTypedTextSurvivesARebuild) {
  Fill();
  Fill();
  EXPECT_EQ(Rebuilds(), 1);

  ASSERT_TRUE(m_outlook.TypeText(m_box.nExplorer, m_box.path, L"is half-typed", false).Ok());
  m_harness.LogIn();
  Fill();
  EXPECT_EQ(Rebuilds(), 2);
  EXPECT_EQ(m_box.Text(), L"is half-typed");

  m_harness.client.ClearSession();
  Fill();
  EXPECT_EQ(Rebuilds(), 3);
}

}  // namespace
