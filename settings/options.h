// The add-in's options: toolbar placement, the protected Facebook session, the status box
// width and the remembered status values, under the current user's
// "Software\Morvane.com\Zenlet\Options" key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/reg_settings.h"

class CLogger;
class IDataProtector;

// The session in clear text as the REST client keeps it: key, secret and user id in UTF-8,
// the user's display name as wide text. All empty when logged out.
struct StoredSession {
  std::string strSessionKey;
  std::string strSessionSecret;
  std::string strUid;
  std::wstring strUserName;
};

// Where the toolbar stood when an explorer window last closed.
struct ToolbarPlacement {
  std::uint32_t dwPosition;  // docking side; 0 leaves the side Office chose
  std::uint32_t dwRowIndex;
  std::uint32_t dwLeft;
};

class CFBOpts : public CRegSettings {
 public:
  static constexpr std::uint32_t kDefaultStatusFieldWidth = 300;
  static constexpr std::uint32_t kNarrowestStatusField = 50;
  static constexpr std::uint32_t kWidestStatusField = 600;

  // The options under the current user's options key, with session values sealed by
  // `protector`. Failures to unprotect are logged through `logger` (null: not logged).
  CFBOpts(IRegistry* registry, IDataProtector* protector, CLogger* logger);

  RegistryStatus Exchange(IRegistryKey* key, bool save, bool reset) override;

  // The protected form of `text` (upper-case hex of the sealed UTF-16LE text), or an empty
  // string for an empty text or any failure.
  std::wstring ProtectString(std::wstring_view text) const;
  // The text of a protected form (hex in either case); empty on any failure.
  std::wstring UnprotectString(std::wstring_view protectedText) const;

  // The session held in the four protected fields; a value that cannot be unprotected reads
  // as empty.
  StoredSession GetSession() const;
  // Seals `session` into the four protected fields (an empty value stays empty). A field
  // that already holds its text keeps its sealed form, and so does one that does not open
  // now (the key refused at this start) while `session` has nothing for it. When a value
  // cannot be sealed, the four fields stay as they were, the failure is logged, and the next
  // Save leaves the stored session untouched and returns kRegNotSealed.
  void SetSession(const StoredSession& session);

  // The saved toolbar placement, or nothing when none was saved (row index 0).
  std::optional<ToolbarPlacement> SavedToolbarPlacement() const;
  // Clamps the status box width to its limits, keeps the clamped value for the next save and
  // returns it.
  std::uint32_t ClampStatusFieldWidth();

  // Loads the options the first time it is called and never again, so that changes made in
  // memory are not lost to a second read. Returns the status of that first load.
  RegistryStatus LoadOnce();

  std::uint32_t m_dwToolbarRowIndex = 0;
  std::uint32_t m_dwToolbarLeft = 0;
  std::uint32_t m_dwToolbarPosition = 0;
  std::wstring m_strSessionKey;  // the four session values in protected form
  std::wstring m_strSessionSecret;
  std::wstring m_strUid;
  std::wstring m_strUserName;
  std::vector<CUserStatusOpt> m_aStatusValues;  // index 0 = newest
  std::uint32_t m_dwStatusFieldWidth = kDefaultStatusFieldWidth;

 private:
  IDataProtector* m_pProtector;
  CLogger* m_pLogger;
  bool m_bSessionNotSealed = false;  // the last SetSession could not seal the session
  bool m_bLoaded = false;
  RegistryStatus m_nFirstLoadStatus = kRegOk;
};

// The process's options: the object start-up code wired with CProcessInstance (see
// common/process_instance.h), loaded on the first call and never read again. Throws
// CHResultError(E_UNEXPECTED) while none is wired. Main thread only.
CFBOpts* GetOptions();

// Seals `text` with `protector`: the upper-case hex form, or empty for an empty text, a null
// protector or a failure.
std::wstring ProtectString(IDataProtector* protector, std::wstring_view text);
// Opens a protected form: empty for an empty input, input that is not an even-length run of
// hex digits, a null protector or a blob that does not open.
std::wstring UnprotectString(IDataProtector* protector, std::wstring_view protectedText);
