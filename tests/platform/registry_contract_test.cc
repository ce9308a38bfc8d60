// The registry contract, run against the platform's store and the in-memory one tests use.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "common/logger.h"
#include "tests/platform/native_adapters.h"
#include "tests/support/in_memory_registry.h"
#include "tests/support/recording_log_backend.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
constexpr const wchar_t* kOptions = L"Software\\Morvane.com\\Zenlet\\Options";

RegistryStatus SetDword(IRegistryKey& key, const std::wstring& name, std::uint32_t value) {
  const std::uint8_t bytes[4] = {
      static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
      static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  return key.SetValue(name, kRegDword, bytes, 4);
}

// The value's bytes, or nothing when it cannot be read.
std::vector<std::uint8_t> Bytes(IRegistryKey& key, const std::wstring& name) {
  std::uint32_t size = 0;
  if (key.QueryValue(name, nullptr, nullptr, &size) != kRegOk) {
    return {0xEE};
  }
  std::vector<std::uint8_t> data(size);
  return key.QueryValue(name, nullptr, data.data(), &size) == kRegOk
             ? data
             : std::vector<std::uint8_t>{0xEE};
}

class RegistryContractTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      m_store = MakeNativeRegistryStore(m_temp.Path(), m_logger);
      m_open = m_store.open;
    } else {
      auto memory = std::make_shared<CInMemoryRegistry>();
      m_open = [memory]() -> std::unique_ptr<IRegistry> { return memory->OpenAnother(); };
    }
    m_registry = m_open();
  }
  void TearDown() override {
    EXPECT_EQ(m_backend.Count(LogPriority::kError, ""), 0) << "unexpected error lines";
  }

  CTempFolder m_temp;
  CRecordingLogBackend m_backend;
  CLogger m_logger{"opt", &m_backend};
  NativeRegistryStore m_store;
  std::function<std::unique_ptr<IRegistry>()> m_open;  // another registry over the same store
  std::unique_ptr<IRegistry> m_registry;

  // Stores without atomic batches (the Windows registry) let each write stand alone.
  bool AtomicBatches() const { return !GetParam() || m_store.bAtomicBatches; }
};

TEST_P(RegistryContractTest, KeysArePathsFoundWithoutRegardToCase) {
  std::unique_ptr<IRegistryKey> key;
  EXPECT_EQ(m_registry->OpenKey(kUser, kOptions, &key), kRegFileNotFound);
  EXPECT_EQ(key, nullptr);
  ASSERT_EQ(m_registry->CreateKey(kUser, kOptions, &key), kRegOk);
  ASSERT_EQ(SetDword(*key, L"DebugLog", 1), kRegOk);

  std::unique_ptr<IRegistryKey> again;
  ASSERT_EQ(m_registry->OpenKey(kUser, L"SOFTWARE\\morvane.COM\\Zenlet\\oPTIONS", &again), kRegOk);
  EXPECT_EQ(Bytes(*again, L"debuglog"), (std::vector<std::uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(m_registry->OpenKey(kUser, L"Software\\Morvane.com", &again), kRegOk);

  ASSERT_EQ(m_registry->CreateKey(kUser, L"Software\\Ünïcode\\Ωmega\\Жук", &key), kRegOk);
  EXPECT_EQ(m_registry->OpenKey(kUser, L"software\\üNÏCODE\\ωMEGA\\жУК", &again), kRegOk);

  for (const wchar_t* bad : {L"Software\\\\Morvane.com", L"\\Software", L"Software\\"}) {
    EXPECT_EQ(m_registry->OpenKey(kUser, bad, &again), kRegInvalidParameter) << bad;
    EXPECT_EQ(m_registry->CreateKey(kUser, bad, &again), kRegInvalidParameter) << bad;
  }
}

TEST_P(RegistryContractTest, SubkeysOpenBelowTheirKeyAndOutliveIt) {
  std::unique_ptr<IRegistryKey> options;
  std::unique_ptr<IRegistryKey> item;
  ASSERT_EQ(m_registry->CreateKey(kUser, kOptions, &options), kRegOk);
  ASSERT_EQ(options->CreateSubKey(L"UserStatusValues\\0", &item), kRegOk);
  options.reset();
  ASSERT_EQ(SetDword(*item, L"Status", 5), kRegOk);

  ASSERT_EQ(m_registry->OpenKey(kUser, kOptions, &options), kRegOk);
  std::unique_ptr<IRegistryKey> list;
  ASSERT_EQ(options->OpenSubKey(L"userstatusvalues", &list), kRegOk);
  std::unique_ptr<IRegistryKey> zero;
  ASSERT_EQ(list->OpenSubKey(L"0", &zero), kRegOk);
  EXPECT_EQ(Bytes(*zero, L"Status"), (std::vector<std::uint8_t>{5, 0, 0, 0}));
  std::unique_ptr<IRegistryKey> self;
  ASSERT_EQ(zero->OpenSubKey(L"", &self), kRegOk);
  EXPECT_EQ(Bytes(*self, L"STATUS"), (std::vector<std::uint8_t>{5, 0, 0, 0}));
  EXPECT_EQ(list->OpenSubKey(L"1", &self), kRegFileNotFound);
}

TEST_P(RegistryContractTest, ValuesKeepTheirTypeAndByteSize) {
  std::unique_ptr<IRegistryKey> key;
  ASSERT_EQ(m_registry->CreateKey(kUser, kOptions, &key), kRegOk);
  ASSERT_EQ(SetDword(*key, L"StatusFieldWidth", 0x01020304), kRegOk);
  const std::uint8_t text[] = {'Z', 0, 'e', 0, 'n', 0, 0, 0};  // "Zen" and its NUL
  ASSERT_EQ(key->SetValue(L"FBSK", kRegSz, text, sizeof(text)), kRegOk);
  ASSERT_EQ(key->SetValue(L"Empty", 3, nullptr, 0), kRegOk);

  std::uint32_t type = 0;
  std::uint32_t size = 0;
  ASSERT_EQ(key->QueryValue(L"statusfieldwidth", &type, nullptr, &size), kRegOk);
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(Bytes(*key, L"StatusFieldWidth"), (std::vector<std::uint8_t>{4, 3, 2, 1}));

  std::uint8_t buffer[16] = {};
  size = 7;
  EXPECT_EQ(key->QueryValue(L"FBSK", &type, buffer, &size), kRegMoreData);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(type, kRegSz);
  size = 8;
  ASSERT_EQ(key->QueryValue(L"FBSK", &type, buffer, &size), kRegOk);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + size),
            std::vector<std::uint8_t>(text, text + sizeof(text)));

  size = sizeof(buffer);
  ASSERT_EQ(key->QueryValue(L"Empty", &type, buffer, &size), kRegOk);
  EXPECT_EQ(type, 3u);
  EXPECT_EQ(size, 0u);

  ASSERT_EQ(SetDword(*key, L"fbsk", 9), kRegOk);  // replaces, whatever the case and type
  ASSERT_EQ(key->QueryValue(L"FBSK", &type, nullptr, &size), kRegOk);
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(size, 4u);

  EXPECT_EQ(key->QueryValue(L"Missing", &type, buffer, &size), kRegFileNotFound);
  EXPECT_EQ(key->QueryValue(L"FBSK", &type, buffer, nullptr), kRegInvalidParameter);
  EXPECT_EQ(key->SetValue(L"Bad", kRegSz, nullptr, 2), kRegInvalidParameter);
}

TEST_P(RegistryContractTest, ABatchIsSeenWholeOrNotAtAll) {
  if (!AtomicBatches()) {
    GTEST_SKIP() << "each write of this store stands alone";
  }
  std::unique_ptr<IRegistry> other = m_open();
  std::unique_ptr<IRegistryKey> key;
  std::unique_ptr<IRegistryKey> seen;
  {
    std::unique_ptr<IRegistryWriteBatch> batch = m_registry->BeginWriteBatch();
    ASSERT_EQ(m_registry->CreateKey(kUser, kOptions, &key), kRegOk);
    ASSERT_EQ(SetDword(*key, L"TRI", 7), kRegOk);
    ASSERT_EQ(SetDword(*key, L"TL", 8), kRegOk);
    EXPECT_EQ(Bytes(*key, L"TRI"), (std::vector<std::uint8_t>{7, 0, 0, 0}));  // its own writes
    EXPECT_EQ(other->OpenKey(kUser, kOptions, &seen), kRegFileNotFound);
    ASSERT_EQ(batch->Commit(), kRegOk);
  }
  ASSERT_EQ(other->OpenKey(kUser, kOptions, &seen), kRegOk);
  EXPECT_EQ(Bytes(*seen, L"TL"), (std::vector<std::uint8_t>{8, 0, 0, 0}));

  std::unique_ptr<IRegistryKey> added;
  {
    std::unique_ptr<IRegistryWriteBatch> batch = m_registry->BeginWriteBatch();
    ASSERT_EQ(m_registry->CreateKey(kUser, kOptions, &key), kRegOk);
    ASSERT_EQ(SetDword(*key, L"TRI", 9), kRegOk);
    ASSERT_EQ(key->CreateSubKey(L"Added", &added), kRegOk);
    {
      std::unique_ptr<IRegistryWriteBatch> inner = m_registry->BeginWriteBatch();
      ASSERT_EQ(SetDword(*key, L"TP", 3), kRegOk);
      EXPECT_EQ(inner->Commit(), kRegOk);  // joins the outer batch, which is abandoned
    }
  }
  for (IRegistry* registry : {m_registry.get(), other.get()}) {
    ASSERT_EQ(registry->OpenKey(kUser, kOptions, &seen), kRegOk);
    EXPECT_EQ(Bytes(*seen, L"TRI"), (std::vector<std::uint8_t>{7, 0, 0, 0}));
    EXPECT_EQ(Bytes(*seen, L"TP"), std::vector<std::uint8_t>{0xEE});
    std::unique_ptr<IRegistryKey> none;
    EXPECT_EQ(seen->OpenSubKey(L"Added", &none), kRegFileNotFound);
  }
  EXPECT_EQ(SetDword(*added, L"Late", 1), kRegFileNotFound);  // its key went with the batch
}

TEST_P(RegistryContractTest, KeysOpenedForReadingRefuseWritesAndFailTheirBatch) {
  std::unique_ptr<IRegistryKey> key;
  std::unique_ptr<IRegistryKey> readOnly;
  std::unique_ptr<IRegistryKey> sub;
  ASSERT_EQ(m_registry->CreateKey(kUser, kOptions, &key), kRegOk);
  ASSERT_EQ(m_registry->OpenKey(kUser, kOptions, &readOnly), kRegOk);
  EXPECT_EQ(readOnly->CreateSubKey(L"UserStatusValues", &sub), kRegAccessDenied);
  {
    std::unique_ptr<IRegistryWriteBatch> batch = m_registry->BeginWriteBatch();
    ASSERT_EQ(SetDword(*key, L"TRI", 1), kRegOk);
    EXPECT_EQ(SetDword(*readOnly, L"TL", 2), kRegAccessDenied);
    EXPECT_EQ(SetDword(*key, L"TP", 3), kRegAccessDenied);
    EXPECT_EQ(batch->Commit(), kRegAccessDenied);
  }
  if (AtomicBatches()) {
    EXPECT_EQ(Bytes(*key, L"TRI"), std::vector<std::uint8_t>{0xEE});
  }
  ASSERT_EQ(SetDword(*key, L"TRI", 4), kRegOk);  // outside a batch each write stands alone
  EXPECT_EQ(Bytes(*readOnly, L"TRI"), (std::vector<std::uint8_t>{4, 0, 0, 0}));
}

TEST_P(RegistryContractTest, ThreadsShareOneRegistry) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t] {
      const std::wstring path = std::wstring(kOptions) + L"\\Thread" + std::to_wstring(t);
      for (std::uint32_t round = 0; round < 20; ++round) {
        std::unique_ptr<IRegistryWriteBatch> batch = m_registry->BeginWriteBatch();
        std::unique_ptr<IRegistryKey> key;
        ASSERT_EQ(m_registry->CreateKey(kUser, path, &key), kRegOk);
        ASSERT_EQ(SetDword(*key, L"A", round), kRegOk);
        ASSERT_EQ(SetDword(*key, L"B", round), kRegOk);
        ASSERT_EQ(batch->Commit(), kRegOk);
        EXPECT_EQ(Bytes(*key, L"A"), Bytes(*key, L"B"));
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (int t = 0; t < 4; ++t) {
    std::unique_ptr<IRegistryKey> key;
    ASSERT_EQ(
        m_registry->OpenKey(kUser, std::wstring(kOptions) + L"\\thread" + std::to_wstring(t), &key),
        kRegOk);
    EXPECT_EQ(Bytes(*key, L"A"), (std::vector<std::uint8_t>{19, 0, 0, 0}));
  }
}

std::string StoreName(const ::testing::TestParamInfo<bool>& info) {
  if (!info.param) {
    return "InMemory";
  }
  CLogger logger{"opt", nullptr};
  return MakeNativeRegistryStore(std::string(), logger).strName;
}

INSTANTIATE_TEST_SUITE_P(Stores, RegistryContractTest, ::testing::Values(true, false), StoreName);

}  // namespace
