// The small settings framework: an object whose fields live as values of one registry key,
// read with Load() and written with Save(). Every failure reads as the field's default or is
// returned to a caller that ignores it: settings problems are never shown to the user.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

// What Save() returns when it stored every value but some it could not seal, which it left as
// they were stored before (the system's ERROR_ENCRYPTION_FAILED).
inline constexpr RegistryStatus kRegNotSealed = 6000;

class CRegSettings {
 public:
  // Settings kept under `root`\`keyPath` of `registry`. Without a registry the object is only
  // ever exchanged through a key that another object opened (Load and Save then fail with
  // kRegInvalidHandle).
  CRegSettings(IRegistry* registry, RegistryRoot root, std::wstring keyPath);
  CRegSettings();
  virtual ~CRegSettings();
  CRegSettings(const CRegSettings&) = default;
  CRegSettings& operator=(const CRegSettings&) = default;

  // Moves every value between the object and the opened `key`: `save` writes, otherwise
  // reads; `reset` puts every field to its default and touches no key.
  virtual RegistryStatus Exchange(IRegistryKey* key, bool save, bool reset) = 0;
  // Called first by Exchange when it saves.
  virtual void OnBeforeSave(IRegistryKey* key, bool save, bool reset);
  // Called last by Exchange when it has read.
  virtual void OnAfterLoad();

  // Reads the key; when it cannot be opened every field takes its default and the open error
  // is returned.
  RegistryStatus Load();
  // Writes every value in one write batch. On a failure nothing of this save is kept and the
  // status is returned; kRegNotSealed from Exchange keeps the save, and is returned.
  RegistryStatus Save();

 protected:
  IRegistry* m_pRegistry;
  RegistryRoot m_hRootKey;
  std::wstring m_strKeyPath;
};

// One remembered status value, kept as "Status" in a numbered subkey of the list.
class CUserStatusOpt : public CRegSettings {
 public:
  explicit CUserStatusOpt(std::wstring status = {});

  RegistryStatus Exchange(IRegistryKey* key, bool save, bool reset) override;

  std::wstring m_strStatus;
};

// A REG_DWORD of 4 bytes. Reading fails (and leaves `value` as it was) for a missing value or
// one that is not 4 bytes long.
RegistryStatus ExchangeDword(IRegistryKey* key, const wchar_t* name, std::uint32_t& value,
                             bool save);

// A REG_SZ written with its terminating NUL. Reading asks with a 200-byte buffer first and
// then with the size the store reported; the text ends at the first NUL or with the data. A
// failed read leaves `text` as it was.
RegistryStatus ExchangeString(IRegistryKey* key, const wchar_t* name, std::wstring& text,
                              bool save);

// The "UserStatusValues" subkey: "Count" and one numbered subkey per element ("0" newest).
// Reading stops at the first numbered subkey that is missing, keeping what came before, and
// returns kRegBadDatabase when it found the store damaged on the way.
// Writing leaves subkeys of an earlier, longer list in place; "Count" bounds what is read.
RegistryStatus ExchangeStatusList(IRegistryKey* key, std::vector<CUserStatusOpt>& array, bool save);
