#include "settings/options.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/hresult.h"
#include "common/logger.h"
#include "common/process_instance.h"
#include "common/text.h"
#include "platform/platform.h"
#include "tests/support/in_memory_data_protector.h"
#include "tests/support/in_memory_registry.h"
#include "tests/support/recording_log_backend.h"

namespace {

constexpr const wchar_t* kOptionsKey = L"Software\\Morvane.com\\Zenlet\\Options";

struct RawValue {
  std::uint32_t dwType = 0;
  std::vector<std::uint8_t> aData;
  bool operator==(const RawValue& other) const {
    return dwType == other.dwType && aData == other.aData;
  }
};

class OptionsTest : public ::testing::Test {
 protected:
  CFBOpts Make() { return CFBOpts(&m_registry, &m_protector, &m_logger); }

  void Write(const std::wstring& subKey, const std::wstring& name, std::uint32_t type,
             std::vector<std::uint8_t> data) {
    std::unique_ptr<IRegistryKey> key;
    const std::wstring path = subKey.empty() ? kOptionsKey : kOptionsKey + (L"\\" + subKey);
    ASSERT_EQ(m_registry.CreateKey(RegistryRoot::kCurrentUser, path, &key), kRegOk);
    ASSERT_EQ(key->SetValue(name, type, data.data(), static_cast<std::uint32_t>(data.size())),
              kRegOk);
  }
  void WriteDword(const std::wstring& subKey, const std::wstring& name, std::uint32_t value) {
    Write(subKey, name, kRegDword,
          {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
           static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
  }
  void WriteText(const std::wstring& subKey, const std::wstring& name, const std::wstring& text) {
    Write(subKey, name, kRegSz, WideToUtf16Le(text, true));
  }

  RawValue Read(const std::wstring& subKey, const std::wstring& name) {
    std::unique_ptr<IRegistryKey> key;
    const std::wstring path = subKey.empty() ? kOptionsKey : kOptionsKey + (L"\\" + subKey);
    RawValue value;
    std::uint32_t size = 0;
    if (m_registry.OpenKey(RegistryRoot::kCurrentUser, path, &key) == kRegOk &&
        key->QueryValue(name, &value.dwType, nullptr, &size) == kRegOk) {
      value.aData.resize(size);
      key->QueryValue(name, nullptr, value.aData.data(), &size);
    }
    return value;
  }
  static RawValue Dword(std::uint32_t value) {
    return {kRegDword,
            {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
             static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}};
  }

  static std::vector<std::wstring> Statuses(const CFBOpts& options) {
    std::vector<std::wstring> texts;
    for (const CUserStatusOpt& item : options.m_aStatusValues) {
      texts.push_back(item.m_strStatus);
    }
    return texts;
  }

  CInMemoryRegistry m_registry;
  CInMemoryDataProtector m_protector;
  CRecordingLogBackend m_backend;
  CLogger m_logger{"opt", &m_backend};
};

TEST_F(OptionsTest, WithoutAKeyEveryOptionHasItsDefault) {
  CFBOpts options = Make();
  options.m_dwToolbarLeft = 9;
  options.m_strUid = L"00";
  options.m_dwStatusFieldWidth = 17;
  EXPECT_EQ(options.Load(), kRegFileNotFound);
  EXPECT_EQ(options.m_dwToolbarRowIndex, 0u);
  EXPECT_EQ(options.m_dwToolbarLeft, 0u);
  EXPECT_EQ(options.m_dwToolbarPosition, 0u);
  EXPECT_EQ(options.m_dwStatusFieldWidth, 300u);
  EXPECT_TRUE(options.m_strUid.empty());
  EXPECT_TRUE(options.m_aStatusValues.empty());
  EXPECT_FALSE(options.SavedToolbarPlacement());
  const StoredSession session = options.GetSession();
  EXPECT_TRUE(session.strSessionKey.empty() && session.strUid.empty());
  EXPECT_EQ(m_backend.Count(LogPriority::kError, ""), 0);
}

TEST_F(OptionsTest, SavedOptionsLoadBackInTheirStoredLayout) {
  CFBOpts saved = Make();
  saved.m_dwToolbarRowIndex = 2;
  saved.m_dwToolbarLeft = 640;
  saved.m_dwToolbarPosition = 1;
  saved.m_dwStatusFieldWidth = 420;
  saved.SetSession({"5f1e-key", "s3cr3t", "100001", L"Zoë Ångström"});
  saved.m_aStatusValues = {CUserStatusOpt(L"is at work"), CUserStatusOpt(L""),
                           CUserStatusOpt(L"is with the family")};
  ASSERT_EQ(saved.Save(), kRegOk);

  EXPECT_EQ(Read(L"", L"TRI"), Dword(2));
  EXPECT_EQ(Read(L"", L"TL"), Dword(640));
  EXPECT_EQ(Read(L"", L"TP"), Dword(1));
  EXPECT_EQ(Read(L"", L"StatusFieldWidth"), Dword(420));
  EXPECT_EQ(Read(L"UserStatusValues", L"Count"), Dword(3));
  EXPECT_EQ(Read(L"UserStatusValues\\2", L"Status"),
            (RawValue{kRegSz, WideToUtf16Le(L"is with the family", true)}));
  EXPECT_EQ(Read(L"UserStatusValues\\1", L"Status"), (RawValue{kRegSz, {0, 0}}));
  EXPECT_EQ(Read(L"", L"FBSK"), (RawValue{kRegSz, WideToUtf16Le(saved.m_strSessionKey, true)}));
  EXPECT_EQ(WideToUtf8(saved.m_strSessionKey).find("5f1e"), std::string::npos);

  CFBOpts loaded = Make();
  ASSERT_EQ(loaded.Load(), kRegOk);
  EXPECT_EQ(loaded.m_dwToolbarLeft, 640u);
  EXPECT_EQ(loaded.m_dwStatusFieldWidth, 420u);
  EXPECT_EQ(Statuses(loaded),
            (std::vector<std::wstring>{L"is at work", L"", L"is with the family"}));
  const StoredSession session = loaded.GetSession();
  EXPECT_EQ(session.strSessionKey, "5f1e-key");
  EXPECT_EQ(session.strSessionSecret, "s3cr3t");
  EXPECT_EQ(session.strUid, "100001");
  EXPECT_EQ(session.strUserName, L"Zoë Ångström");
  const std::optional<ToolbarPlacement> placement = loaded.SavedToolbarPlacement();
  ASSERT_TRUE(placement);
  EXPECT_EQ(placement->dwPosition, 1u);
  EXPECT_EQ(placement->dwRowIndex, 2u);
  EXPECT_EQ(placement->dwLeft, 640u);
}

TEST_F(OptionsTest, AnEmptySessionIsStoredAsFourEmptyTexts) {
  CFBOpts options = Make();
  options.SetSession({"key", "secret", "1", L"Ann"});
  options.SetSession({});  // the user logged out
  ASSERT_EQ(options.Save(), kRegOk);
  for (const wchar_t* name : {L"FBSK", L"FBSS", L"FBUID", L"FBUN"}) {
    EXPECT_EQ(Read(L"", name), (RawValue{kRegSz, {0, 0}})) << WideToUtf8(name);
  }
  CFBOpts loaded = Make();
  ASSERT_EQ(loaded.Load(), kRegOk);
  EXPECT_TRUE(loaded.GetSession().strSessionKey.empty());
  EXPECT_EQ(m_backend.Count(LogPriority::kError, ""), 0);
}

TEST_F(OptionsTest, ValuesThatCannotBeReadTakeTheirDefaultsAndReadingGoesOn) {
  WriteDword(L"", L"TL", 5);
  Write(L"", L"TP", 3, {7, 0});  // two bytes: not a DWORD
  WriteText(L"", L"FBSS", L"not hex at all");
  WriteDword(L"", L"StatusFieldWidth", 20);
  CFBOpts options = Make();
  options.m_dwToolbarPosition = 9;
  EXPECT_EQ(options.Load(), kRegOk);
  EXPECT_EQ(options.m_dwToolbarRowIndex, 0u);
  EXPECT_EQ(options.m_dwToolbarLeft, 5u);
  EXPECT_EQ(options.m_dwToolbarPosition, 0u);
  EXPECT_FALSE(options.SavedToolbarPlacement()) << "row index 0: Office places the bar";
  EXPECT_TRUE(options.GetSession().strSessionSecret.empty());
  EXPECT_EQ(m_backend.Count(LogPriority::kError, "ups: stored session value is not hex"), 1);

  EXPECT_EQ(options.ClampStatusFieldWidth(), 50u);
  ASSERT_EQ(options.Save(), kRegOk);
  EXPECT_EQ(Read(L"", L"StatusFieldWidth"), Dword(50));
  options.m_dwStatusFieldWidth = 1000;
  EXPECT_EQ(options.ClampStatusFieldWidth(), 600u);

  WriteText(L"", L"StatusFieldWidth", L"wide");  // larger than a DWORD: 300, status returned
  CFBOpts reloaded = Make();
  EXPECT_EQ(reloaded.Load(), kRegMoreData);
  EXPECT_EQ(reloaded.m_dwStatusFieldWidth, 300u);
  EXPECT_EQ(reloaded.m_dwToolbarLeft, 5u);
}

TEST_F(OptionsTest, TheStatusListReadsWholeTextsAndStopsAtAGap) {
  const std::wstring longest(150, L'x');
  WriteDword(L"UserStatusValues", L"Count", 3);
  WriteText(L"UserStatusValues\\0", L"Status", longest);
  WriteText(L"UserStatusValues\\2", L"Status", L"never reached");
  CFBOpts options = Make();
  ASSERT_EQ(options.Load(), kRegFileNotFound);  // no width stored
  EXPECT_EQ(Statuses(options), std::vector<std::wstring>{longest});

  // Texts around the first read of 200 bytes, and one stored without its NUL.
  WriteDword(L"UserStatusValues", L"Count", 4);
  WriteText(L"UserStatusValues\\1", L"Status", std::wstring(99, L'a'));
  WriteText(L"UserStatusValues\\2", L"Status", std::wstring(100, L'b'));
  Write(L"UserStatusValues\\3", L"Status", kRegSz, {'o', 0, 'k', 0});
  ASSERT_EQ(options.Load(), kRegFileNotFound);
  EXPECT_EQ(Statuses(options), (std::vector<std::wstring>{longest, std::wstring(99, L'a'),
                                                          std::wstring(100, L'b'), L"ok"}));
}

TEST_F(OptionsTest, AShorterListLeavesOldSubkeysThatAreNotReadAgain) {
  CFBOpts options = Make();
  for (const wchar_t* text : {L"one", L"two", L"three", L"four", L"five"}) {
    options.m_aStatusValues.emplace_back(text);
  }
  ASSERT_EQ(options.Save(), kRegOk);
  options.m_aStatusValues.resize(2);
  ASSERT_EQ(options.Save(), kRegOk);
  EXPECT_EQ(Read(L"UserStatusValues", L"Count"), Dword(2));
  EXPECT_EQ(Read(L"UserStatusValues\\4", L"Status").dwType, kRegSz);

  CFBOpts loaded = Make();
  ASSERT_EQ(loaded.Load(), kRegOk);
  EXPECT_EQ(Statuses(loaded), (std::vector<std::wstring>{L"one", L"two"}));
}

// A save that failed half-way used to leave the new session key beside the old secret, so
// the next start signed every request with a pair that did not belong together.
TEST_F(OptionsTest, AFailedWriteEndsTheSaveAndTheOldOptionsStayWhole) {
  CFBOpts options = Make();
  options.m_dwToolbarRowIndex = 1;
  options.SetSession({"old-key", "old-secret", "1", L"Ann"});
  ASSERT_EQ(options.Save(), kRegOk);

  options.m_dwToolbarRowIndex = 2;
  options.SetSession({"new-key", "new-secret", "2", L"Bob"});
  m_registry.FailWrite(6, kRegWriteFault);  // the key, TRI, TL, TP, FBSK, then FBSS fails
  EXPECT_EQ(options.Save(), kRegWriteFault);

  CFBOpts loaded = Make();
  ASSERT_EQ(loaded.Load(), kRegOk);
  EXPECT_EQ(loaded.m_dwToolbarRowIndex, 1u);
  EXPECT_EQ(loaded.GetSession().strSessionKey, "old-key");
  EXPECT_EQ(loaded.GetSession().strSessionSecret, "old-secret");
}

// A load that met a damaged store part-way said nothing of what it kept, while the store's
// own line said that the options read as defaults.
TEST_F(OptionsTest, ALoadThatMeetsDamagePartWaySaysWhatItKept) {
  CFBOpts saved = Make();
  saved.m_dwToolbarRowIndex = 2;
  saved.m_dwToolbarLeft = 640;
  saved.m_dwToolbarPosition = 1;
  saved.m_dwStatusFieldWidth = 420;
  saved.m_aStatusValues = {CUserStatusOpt(L"is at work"), CUserStatusOpt(L"is at home")};
  ASSERT_EQ(saved.Save(), kRegOk);

  // The reads in order: the key, TRI, TL, TP, the four session values (stored empty), the
  // list's key, its "Count", then each item's key and "Status", and last the width.
  const struct {
    int nFailingRead;
    const char* szLine;
    std::uint32_t dwLeft;
    std::size_t nStatuses;
  } cases[] = {
      {3, "kept TRI, TP, FBSK, FBSS, FBUID, FBUN, UserStatusValues (2), StatusFieldWidth;", 0, 2},
      {10, "kept TRI, TL, TP, FBSK, FBSS, FBUID, FBUN, StatusFieldWidth;", 640, 0},
  };
  for (const auto& c : cases) {
    m_backend.Clear();
    m_registry.FailRead(c.nFailingRead, kRegBadDatabase);
    CFBOpts loaded = Make();
    EXPECT_EQ(loaded.Load(), kRegBadDatabase);
    EXPECT_EQ(loaded.m_dwToolbarRowIndex, 2u);
    EXPECT_EQ(loaded.m_dwToolbarLeft, c.dwLeft);
    EXPECT_EQ(loaded.m_aStatusValues.size(), c.nStatuses);
    EXPECT_EQ(loaded.m_dwStatusFieldWidth, 420u);
    EXPECT_EQ(m_backend.Count(LogPriority::kError, ""), 1);
    EXPECT_EQ(m_backend.Count(LogPriority::kError, c.szLine), 1) << c.szLine;
    EXPECT_EQ(m_backend.Count(LogPriority::kError, "defaults for everything"), 0);
  }
}

// While the key was refused, the next save wrote empty session values over the sealed ones
// (the session was lost for good once the key was mended) and reported success; a new
// session that could not be sealed was stored as empty values, also as a success.
TEST_F(OptionsTest, ASessionThatCannotBeSealedLeavesTheStoredOneAsItWas) {
  CFBOpts first = Make();
  first.SetSession({"old-key", "old-secret", "1", L"Ann"});
  ASSERT_EQ(first.Save(), kRegOk);
  const RawValue storedKey = Read(L"", L"FBSK");
  const RawValue storedName = Read(L"", L"FBUN");

  // A start with the key refused: nothing opens, and handing back that nothing at the close
  // keeps what is stored.
  m_protector.SetFailing(true);
  CFBOpts refused = Make();
  ASSERT_EQ(refused.Load(), kRegOk);
  const StoredSession nothing = refused.GetSession();
  EXPECT_EQ(nothing.strSessionKey + nothing.strUid, "");
  refused.SetSession(nothing);
  EXPECT_EQ(refused.Save(), kRegOk);
  EXPECT_EQ(Read(L"", L"FBSK"), storedKey);
  EXPECT_EQ(Read(L"", L"FBUN"), storedName);

  // A new login cannot be sealed either: the stored session stays, the rest of the save is
  // stored, and the save says that it did not store everything.
  m_backend.Clear();
  refused.SetSession({"new-key", "new-secret", "2", L"Bob"});
  refused.m_dwStatusFieldWidth = 420;
  EXPECT_EQ(refused.Save(), kRegNotSealed);
  EXPECT_EQ(Read(L"", L"FBSK"), storedKey);
  EXPECT_EQ(Read(L"", L"FBUN"), storedName);
  EXPECT_EQ(Read(L"", L"StatusFieldWidth"), Dword(420));
  EXPECT_EQ(m_backend.Count(LogPriority::kError, "ps: cannot protect"), 1);

  // The key mended: the stored session opens again, and a new one is sealed as usual.
  m_protector.SetFailing(false);
  CFBOpts mended = Make();
  ASSERT_EQ(mended.Load(), kRegOk);
  const StoredSession back = mended.GetSession();
  EXPECT_EQ(back.strSessionKey + "|" + back.strSessionSecret + "|" + back.strUid,
            "old-key|old-secret|1");
  EXPECT_EQ(back.strUserName, L"Ann");
  mended.SetSession({"new-key", "new-secret", "2", L"Bob"});
  EXPECT_EQ(mended.Save(), kRegOk);
  CFBOpts later = Make();
  ASSERT_EQ(later.Load(), kRegOk);
  EXPECT_EQ(later.GetSession().strSessionKey, "new-key");

  // A logout still clears the stored session.
  later.SetSession({});
  EXPECT_EQ(later.Save(), kRegOk);
  EXPECT_EQ(Read(L"", L"FBSK"), (RawValue{kRegSz, {0, 0}}));
}

TEST_F(OptionsTest, ProtectedFormsAreUpperCaseHexOfTheUtf16TextAndReadInEitherCase) {
  const std::wstring text = L"sé😀";
  const std::wstring sealed = ProtectString(&m_protector, text);
  ASSERT_FALSE(sealed.empty());
  EXPECT_EQ(sealed.size() % 2, 0u);
  std::vector<std::uint8_t> blob;
  for (std::size_t i = 0; i < sealed.size(); i += 2) {
    blob.push_back(
        static_cast<std::uint8_t>(std::stoi(WideToUtf8(sealed.substr(i, 2)), nullptr, 16)));
  }
  std::vector<std::uint8_t> opened;
  ASSERT_TRUE(m_protector.Unprotect(blob, {'v', 'q', 'b', 'n', 'x', 't', 'r', 'K'}, &opened));
  EXPECT_EQ(opened, WideToUtf16Le(text, true));

  std::wstring lower = sealed;
  std::transform(lower.begin(), lower.end(), lower.begin(), ::towlower);
  EXPECT_NE(lower, sealed);
  EXPECT_EQ(UnprotectString(&m_protector, lower), text);
  EXPECT_EQ(UnprotectString(&m_protector, sealed), text);

  std::wstring tampered = sealed;
  tampered[tampered.size() / 2] = tampered[tampered.size() / 2] == L'0' ? L'1' : L'0';
  for (const std::wstring& bad : {sealed.substr(1), sealed.substr(0, 4) + L"G" + sealed.substr(5),
                                  sealed.substr(0, 4) + L"é" + sealed.substr(5), tampered}) {
    EXPECT_EQ(UnprotectString(&m_protector, bad), L"") << WideToUtf8(bad);
  }
  EXPECT_EQ(ProtectString(&m_protector, L""), L"");
  EXPECT_EQ(UnprotectString(&m_protector, L""), L"");

  m_protector.SetFailing(true);
  CFBOpts options = Make();
  options.SetSession({"key", "", "", L""});
  EXPECT_TRUE(options.m_strSessionKey.empty());
  EXPECT_EQ(m_backend.Count(LogPriority::kError, "ps: cannot protect"), 1);
}

TEST(GetOptionsTest, TheWiredOptionsAreLoadedOnceOnFirstUse) {
  EXPECT_THROW(GetOptions(), CHResultError);
  CInMemoryRegistry registry;
  CInMemoryDataProtector protector;
  {
    CFBOpts stored(&registry, &protector, nullptr);
    stored.m_dwStatusFieldWidth = 420;
    stored.SetSession({"key", "secret", "7", L"Ann"});
    ASSERT_EQ(stored.Save(), kRegOk);
  }
  CFBOpts wired(&registry, &protector, nullptr);
  CProcessInstance<CFBOpts> wiring(wired);

  CFBOpts* options = GetOptions();
  EXPECT_EQ(options, &wired);
  EXPECT_EQ(options->m_dwStatusFieldWidth, 420u);
  EXPECT_EQ(options->GetSession().strUid, "7");

  CFBOpts changed(&registry, &protector, nullptr);
  changed.m_dwStatusFieldWidth = 500;
  ASSERT_EQ(changed.Save(), kRegOk);
  EXPECT_EQ(GetOptions(), options);
  EXPECT_EQ(GetOptions()->m_dwStatusFieldWidth, 420u) << "never read again in this process";
}

}  // namespace
