// The registration of the add-in's class, as a table: the keys and values that registration
// writes below HKEY_CURRENT_USER\Software\Classes, and the keys unregistration removes.
//
//   Zenlet.Connect.1            = "Connect Class"     CLSID = {class id}
//   Zenlet.Connect              = "Connect Class"     CLSID = {class id}, CurVer = Zenlet.Connect.1
//   CLSID\{class id}            = "Connect Class"     (recreated on registration, removed whole)
//     ProgID = Zenlet.Connect.1, VersionIndependentProgID = Zenlet.Connect, Programmable,
//     InprocServer32 = <module path> with ThreadingModel = Apartment, TypeLib = {library id}
//
// Software, Classes and CLSID themselves are never removed.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"

inline constexpr const wchar_t* kClassesKey = L"Software\\Classes";
inline constexpr const wchar_t* kProgId = L"Zenlet.Connect.1";
inline constexpr const wchar_t* kVersionIndependentProgId = L"Zenlet.Connect";
inline constexpr const wchar_t* kClassName = L"Connect Class";

// One key, and one string value in it when `bHasValue` (an empty name is the default value).
struct ClassRegistryEntry {
  std::wstring strKey;  // below kClassesKey
  bool bHasValue = true;
  std::wstring strName;
  std::wstring strValue;
};

// What registration writes, in order, for the module at `modulePath`.
std::vector<ClassRegistryEntry> ClassRegistryEntries(const std::wstring& modulePath);
// The keys unregistration deletes with everything below them.
std::vector<std::wstring> ClassRegistryRemovals();

// "{xxxxxxxx-...}" in upper case, as the registry writes class ids.
std::wstring ClassIdText();
std::wstring TypeLibIdText();

// Writes the entries below HKEY_CURRENT_USER\Software\Classes, the class id's key made anew.
RegistryStatus WriteClassRegistration(const std::wstring& modulePath);
// Removes them; keys already gone are no failure.
RegistryStatus RemoveClassRegistration();
