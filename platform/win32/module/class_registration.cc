#include "platform/win32/module/class_registration.h"

#include <windows.h>

#include "platform/win32/module/zenlet_ids.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_registry.h"

namespace {

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring ClassKey() {
  return L"CLSID\\" + ClassIdText();
}

}  // namespace

std::wstring ClassIdText() {
  return GuidText(kClsidConnect);
}

std::wstring TypeLibIdText() {
  return GuidText(kLibidZenlet);
}

std::vector<ClassRegistryEntry> ClassRegistryEntries(const std::wstring& modulePath) {
  const std::wstring classKey = ClassKey();
  const std::wstring versioned = kProgId;
  const std::wstring independent = kVersionIndependentProgId;
  return {
      {versioned, true, L"", kClassName},
      {versioned + L"\\CLSID", true, L"", ClassIdText()},
      {independent, true, L"", kClassName},
      {independent + L"\\CLSID", true, L"", ClassIdText()},
      {independent + L"\\CurVer", true, L"", versioned},
      {classKey, true, L"", kClassName},
      {classKey + L"\\ProgID", true, L"", versioned},
      {classKey + L"\\VersionIndependentProgID", true, L"", independent},
      {classKey + L"\\Programmable", false, L"", L""},
      {classKey + L"\\InprocServer32", true, L"", modulePath},
      {classKey + L"\\InprocServer32", true, L"ThreadingModel", L"Apartment"},
      {classKey + L"\\TypeLib", true, L"", TypeLibIdText()},
  };
}

std::vector<std::wstring> ClassRegistryRemovals() {
  return {kProgId, kVersionIndependentProgId, ClassKey()};
}

RegistryStatus WriteClassRegistration(const std::wstring& modulePath) {
  const std::wstring classes = kClassesKey;
  const RegistryStatus removed = DeleteCurrentUserTree(classes + L"\\" + ClassKey());
  if (removed != kRegOk && removed != kRegFileNotFound) {
    return removed;
  }
  for (const ClassRegistryEntry& entry : ClassRegistryEntries(modulePath)) {
    CRegKeyHandle key;
    LONG status =
        RegCreateKeyExW(HKEY_CURRENT_USER, (classes + L"\\" + entry.strKey).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.Receive(), nullptr);
    if (status == ERROR_SUCCESS && entry.bHasValue) {
      const auto size = static_cast<DWORD>((entry.strValue.size() + 1) * sizeof(wchar_t));
      status = RegSetValueExW(key.Get(), entry.strName.empty() ? nullptr : entry.strName.c_str(), 0,
                              REG_SZ, reinterpret_cast<const BYTE*>(entry.strValue.c_str()), size);
    }
    if (status != ERROR_SUCCESS) {
      return status;
    }
  }
  return kRegOk;
}

RegistryStatus RemoveClassRegistration() {
  RegistryStatus result = kRegOk;
  for (const std::wstring& key : ClassRegistryRemovals()) {
    const RegistryStatus status = DeleteCurrentUserTree(std::wstring(kClassesKey) + L"\\" + key);
    if (status != kRegOk && status != kRegFileNotFound && result == kRegOk) {
      result = status;
    }
  }
  return result;
}
