#include "settings/reg_settings.h"

#include <memory>

#include "common/format.h"
#include "common/text.h"

namespace {

// The first read of a text value; longer values are read again at the size the store gives.
constexpr std::uint32_t kFirstReadSize = 200;
// A text value larger than this is taken as damage, not read.
constexpr std::uint32_t kLargestText = 1024 * 1024;

constexpr const wchar_t* kStatusListKey = L"UserStatusValues";

}  // namespace

CRegSettings::CRegSettings(IRegistry* registry, RegistryRoot root, std::wstring keyPath)
    : m_pRegistry(registry), m_hRootKey(root), m_strKeyPath(std::move(keyPath)) {}

CRegSettings::CRegSettings() : CRegSettings(nullptr, RegistryRoot::kCurrentUser, {}) {}

CRegSettings::~CRegSettings() = default;

void CRegSettings::OnBeforeSave(IRegistryKey*, bool, bool) {}

void CRegSettings::OnAfterLoad() {}

RegistryStatus CRegSettings::Load() {
  if (m_pRegistry == nullptr) {
    return kRegInvalidHandle;
  }
  std::unique_ptr<IRegistryKey> key;
  const RegistryStatus status = m_pRegistry->OpenKey(m_hRootKey, m_strKeyPath, &key);
  if (status != kRegOk) {
    Exchange(nullptr, false, true);
    return status;
  }
  return Exchange(key.get(), false, false);
}

RegistryStatus CRegSettings::Save() {
  if (m_pRegistry == nullptr) {
    return kRegInvalidHandle;
  }
  // One batch: a save that fails half-way, or a process that dies in it, leaves the options
  // that were stored before, never some values of each.
  std::unique_ptr<IRegistryWriteBatch> batch = m_pRegistry->BeginWriteBatch();
  RegistryStatus status;
  {
    std::unique_ptr<IRegistryKey> key;
    status = m_pRegistry->CreateKey(m_hRootKey, m_strKeyPath, &key);
    if (status == kRegOk) {
      status = Exchange(key.get(), true, false);
    }
  }
  if (status != kRegOk && status != kRegNotSealed) {
    return status;
  }
  // What could not be sealed was left as stored; the rest of the save is kept.
  const RegistryStatus committed = batch->Commit();
  return committed != kRegOk ? committed : status;
}

CUserStatusOpt::CUserStatusOpt(std::wstring status) : m_strStatus(std::move(status)) {}

RegistryStatus CUserStatusOpt::Exchange(IRegistryKey* key, bool save, bool reset) {
  if (reset) {
    m_strStatus.clear();
    return kRegOk;
  }
  if (save) {
    OnBeforeSave(key, save, reset);
    return ExchangeString(key, L"Status", m_strStatus, true);
  }
  const RegistryStatus status = ExchangeString(key, L"Status", m_strStatus, false);
  if (status != kRegOk) {
    m_strStatus.clear();
  }
  OnAfterLoad();
  return status;
}

RegistryStatus ExchangeDword(IRegistryKey* key, const wchar_t* name, std::uint32_t& value,
                             bool save) {
  std::uint8_t bytes[4];
  if (save) {
    for (int i = 0; i < 4; ++i) {
      bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return key->SetValue(name, kRegDword, bytes, sizeof(bytes));
  }
  std::uint32_t size = sizeof(bytes);
  const RegistryStatus status = key->QueryValue(name, nullptr, bytes, &size);
  if (status != kRegOk) {
    return status;
  }
  if (size != sizeof(bytes)) {
    return kRegInvalidData;
  }
  value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
          static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  return kRegOk;
}

RegistryStatus ExchangeString(IRegistryKey* key, const wchar_t* name, std::wstring& text,
                              bool save) {
  if (save) {
    const std::vector<std::uint8_t> bytes = WideToUtf16Le(text, true);
    return key->SetValue(name, kRegSz, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  }
  // The type is not examined: whatever the value holds is read as UTF-16LE text.
  std::uint8_t first[kFirstReadSize];
  std::uint32_t size = sizeof(first);
  RegistryStatus status = key->QueryValue(name, nullptr, first, &size);
  if (status == kRegOk) {
    text = Utf16LeToWide(first, size);
    return kRegOk;
  }
  if (status != kRegMoreData) {
    return status;
  }
  if (size > kLargestText) {
    return kRegInvalidData;
  }
  std::vector<std::uint8_t> buffer(size);
  status = key->QueryValue(name, nullptr, buffer.data(), &size);
  if (status == kRegOk) {
    text = Utf16LeToWide(buffer.data(), size);
  }
  return status;
}

RegistryStatus ExchangeStatusList(IRegistryKey* key, std::vector<CUserStatusOpt>& array,
                                  bool save) {
  std::unique_ptr<IRegistryKey> listKey;
  if (save) {
    RegistryStatus status = key->CreateSubKey(kStatusListKey, &listKey);
    if (status != kRegOk) {
      return status;
    }
    std::uint32_t count = static_cast<std::uint32_t>(array.size());
    status = ExchangeDword(listKey.get(), L"Count", count, true);
    for (std::uint32_t n = 0; status == kRegOk && n < count; ++n) {
      std::unique_ptr<IRegistryKey> itemKey;
      status = listKey->CreateSubKey(FormatPrintf(L"%i", {n}), &itemKey);
      if (status == kRegOk) {
        status = array[n].Exchange(itemKey.get(), true, false);
      }
    }
    return status;
  }

  array.clear();
  RegistryStatus status = key->OpenSubKey(kStatusListKey, &listKey);
  if (status != kRegOk) {
    return status;
  }
  std::uint32_t count = 0;
  const RegistryStatus countStatus = ExchangeDword(listKey.get(), L"Count", count, false);
  if (countStatus != kRegOk) {
    count = 0;
  }
  // Damage found on the way is told to the caller, whatever is read after it.
  bool damaged = countStatus == kRegBadDatabase;
  for (std::uint32_t n = 0; n < count; ++n) {
    std::unique_ptr<IRegistryKey> itemKey;
    const RegistryStatus openStatus = listKey->OpenSubKey(FormatPrintf(L"%i", {n}), &itemKey);
    if (openStatus != kRegOk) {
      return damaged ? kRegBadDatabase : openStatus;
    }
    CUserStatusOpt item;
    status = item.Exchange(itemKey.get(), false, false);
    damaged = damaged || status == kRegBadDatabase;
    array.push_back(std::move(item));
  }
  return damaged ? kRegBadDatabase : status;
}
