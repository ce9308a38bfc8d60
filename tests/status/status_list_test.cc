#include "status/status_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/outlook_host.h"
#include "settings/options.h"
#include "tests/facebook/client_harness.h"
#include "tests/support/fake_combo_box.h"
#include "tests/support/in_memory_data_protector.h"
#include "tests/support/in_memory_registry.h"

namespace {

// Just enough of Outlook for the Inbox count: Session, GetDefaultFolder(6), Items.Count.
class CInboxOnlyApplication : public IOutlookApplication,
                              public IOutlookNameSpace,
                              public IOutlookFolder,
                              public std::enable_shared_from_this<CInboxOnlyApplication> {
 public:
  std::int32_t m_nItems = 0;
  HRESULT m_hrItems = S_OK;

  HRESULT GetItemCount(std::int32_t* count) override {
    if (SUCCEEDED(m_hrItems)) {
      *count = m_nItems;
    }
    return m_hrItems;
  }
  HRESULT GetDefaultFolder(std::int32_t folderType,
                           std::shared_ptr<IOutlookFolder>* folder) override {
    if (folderType != outlook::kFolderInbox) {
      return E_INVALIDARG;
    }
    *folder = shared_from_this();
    return S_OK;
  }
  HRESULT GetSession(std::shared_ptr<IOutlookNameSpace>* nameSpace) override {
    *nameSpace = shared_from_this();
    return S_OK;
  }
  HRESULT GetVersion(std::wstring* version) override {
    *version = L"16.0.0.4266";
    return S_OK;
  }
  HRESULT GetExplorers(std::shared_ptr<IOutlookExplorers>*) override { return E_NOTIMPL; }
  HRESULT GetActiveExplorer(std::shared_ptr<IOutlookExplorer>*) override { return E_NOTIMPL; }
  HRESULT CreateItem(std::int32_t, std::shared_ptr<IOutlookItem>*) override { return E_NOTIMPL; }
  HRESULT Advise(IApplicationEvents*, std::uint32_t*) override { return E_NOTIMPL; }
  HRESULT Unadvise(std::uint32_t) override { return E_NOTIMPL; }
};

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
  void Fill() { m_list.FillComboBox(m_box); }

  CInMemoryRegistry m_registry;
  CInMemoryDataProtector m_protector;
  CFBOpts m_options{&m_registry, &m_protector, nullptr};
  ClientHarness m_harness;
  std::wstring m_strNowPlaying;
  std::shared_ptr<CInboxOnlyApplication> m_spOutlook = std::make_shared<CInboxOnlyApplication>();
  CStatusList m_list{m_options, m_harness.client, [this] { return m_strNowPlaying; },
                     [this](std::shared_ptr<IOutlookApplication>* application) {
                       *application = m_spOutlook;
                       return m_spOutlook ? S_OK : E_POINTER;
                     }};
  CFakeComboBox m_box;
};

TEST_F(StatusListTest, TheBoxListsRememberedValuesPresetsNowPlayingAndTheInbox) {
  m_options.m_aStatusValues = {CUserStatusOpt(L"is tired"), CUserStatusOpt(L""),
                               CUserStatusOpt(L"is fine")};
  m_list.LoadFromOptions();
  Fill();
  EXPECT_EQ(m_box.m_aItems, Join({L"is tired", L"is fine"}, kPresets));

  m_strNowPlaying = L"is listening to Ann - Song";
  m_spOutlook->m_nItems = 7;
  Fill();
  EXPECT_EQ(m_box.m_aItems, Join(Join({L"is tired", L"is fine"}, kPresets),
                                 {L"is listening to Ann - Song", L"has 7 messages in the Inbox"}));

  // An Inbox that cannot be read counts as empty, and its line goes.
  m_spOutlook->m_hrItems = E_FAIL;
  Fill();
  EXPECT_EQ(m_box.m_aItems.back(), L"is listening to Ann - Song");
}

TEST_F(StatusListTest, PostedValuesAreRememberedNewestFirstAndAtMostTwenty) {
  m_list.Remember(0, L"is typing");
  EXPECT_EQ(StoredValues(), std::vector<std::wstring>{L"is typing"});

  for (int i = 1; i <= 20; ++i) {
    m_list.Remember(0, L"value " + std::to_wstring(i));
  }
  ASSERT_EQ(m_list.m_aValues.size(), 20u);
  EXPECT_EQ(m_list.m_aValues.front(), L"value 20");
  EXPECT_EQ(m_list.m_aValues.back(), L"value 1");  // "is typing" was the oldest
  EXPECT_EQ(StoredValues(), m_list.m_aValues);

  // The third remembered value, chosen from the list, moves to the front.
  m_list.Remember(3, L"value 18");
  EXPECT_EQ(m_list.m_aValues[0], L"value 18");
  EXPECT_EQ(m_list.m_aValues[1], L"value 20");
  EXPECT_EQ(m_list.m_aValues[2], L"value 19");
  EXPECT_EQ(m_list.m_aValues[3], L"value 17");

  // Typed again rather than chosen, a value is listed twice.
  m_list.Remember(0, L"value 17");
  EXPECT_EQ(m_list.m_aValues[0], L"value 17");
  EXPECT_EQ(m_list.m_aValues[4], L"value 17");
}

TEST_F(StatusListTest, APresetOrALiveValueChangesNothingAndSavesNothing) {
  m_list.Remember(0, L"is typing");
  Fill();
  const int clears = m_box.m_nClears;

  m_list.Remember(2, L"is at work");  // item 2 is the first preset
  m_list.Remember(0, L"");

  EXPECT_EQ(m_list.m_aValues, std::vector<std::wstring>{L"is typing"});
  EXPECT_EQ(StoredValues(), std::vector<std::wstring>{L"is typing"});
  Fill();
  EXPECT_EQ(m_box.m_nClears, clears);  // not even a rebuild
}

TEST_F(StatusListTest, ALoginOrLogoutRebuildsTheBoxAndTypedTextSurvivesARebuild) {
  m_list.LoadFromOptions();
  Fill();
  Fill();
  EXPECT_EQ(m_box.m_nClears, 1);

  m_box.Type(L"is half-typed");
  m_harness.LogIn();
  Fill();
  EXPECT_EQ(m_box.m_nClears, 2);
  EXPECT_EQ(m_box.m_strText, L"is half-typed");

  m_harness.client.ClearSession();
  Fill();
  EXPECT_EQ(m_box.m_nClears, 3);
}

}  // namespace
