#include "settings/options.h"

#include <algorithm>
#include <memory>

#include "common/deployment.h"
#include "common/format.h"
#include "common/hresult.h"
#include "common/logger.h"
#include "common/process_instance.h"
#include "common/text.h"
#include "platform/data_protector.h"

namespace {

constexpr const wchar_t* kOptionsKeyFormat = L"Software\\%s.com\\%s\\Options";

// Extra secret bound to every protected value: the same bytes in both directions.
const std::vector<std::uint8_t>& Entropy() {
  static const std::vector<std::uint8_t> entropy = {'v', 'q', 'b', 'n', 'x', 't', 'r', 'K'};
  return entropy;
}

int HexDigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') {
    return c - L'0';
  }
  if (c >= L'A' && c <= L'F') {
    return c - L'A' + 10;
  }
  if (c >= L'a' && c <= L'f') {
    return c - L'a' + 10;
  }
  return -1;
}

enum class UnprotectOutcome { kOk, kEmpty, kNotHex, kRefused };

UnprotectOutcome TryUnprotect(IDataProtector* protector, std::wstring_view protectedText,
                              std::wstring* text) {
  text->clear();
  if (protectedText.empty()) {
    return UnprotectOutcome::kEmpty;
  }
  if (protectedText.size() % 2 != 0) {
    return UnprotectOutcome::kNotHex;
  }
  std::vector<std::uint8_t> blob(protectedText.size() / 2);
  for (std::size_t i = 0; i < blob.size(); ++i) {
    const int high = HexDigitValue(protectedText[2 * i]);
    const int low = HexDigitValue(protectedText[2 * i + 1]);
    if (high < 0 || low < 0) {
      return UnprotectOutcome::kNotHex;
    }
    blob[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  std::vector<std::uint8_t> bytes;
  if (protector == nullptr || !protector->Unprotect(blob, Entropy(), &bytes)) {
    return UnprotectOutcome::kRefused;
  }
  *text = Utf16LeToWide(bytes.data(), bytes.size());
  return UnprotectOutcome::kOk;
}

}  // namespace

std::wstring ProtectString(IDataProtector* protector, std::wstring_view text) {
  if (text.empty() || protector == nullptr) {
    return {};
  }
  std::vector<std::uint8_t> blob;
  if (!protector->Protect(WideToUtf16Le(text, true), Entropy(), &blob)) {
    return {};
  }
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring hex;
  hex.reserve(blob.size() * 2);
  for (std::uint8_t byte : blob) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0xF]);
  }
  return hex;
}

std::wstring UnprotectString(IDataProtector* protector, std::wstring_view protectedText) {
  std::wstring text;
  TryUnprotect(protector, protectedText, &text);
  return text;
}

CFBOpts::CFBOpts(IRegistry* registry, IDataProtector* protector, CLogger* logger)
    : CRegSettings(registry, RegistryRoot::kCurrentUser,
                   FormatPrintf(kOptionsKeyFormat, {kCompanyName, kProductName})),
      m_pProtector(protector),
      m_pLogger(logger) {}

RegistryStatus CFBOpts::Exchange(IRegistryKey* key, bool save, bool reset) {
  if (save && !reset) {
    OnBeforeSave(key, save, reset);
  }
  if (reset) {
    m_dwToolbarRowIndex = 0;
    m_dwToolbarLeft = 0;
    m_dwToolbarPosition = 0;
    m_strSessionKey.clear();
    m_strSessionSecret.clear();
    m_strUid.clear();
    m_strUserName.clear();
    m_bSessionNotSealed = false;
    m_dwStatusFieldWidth = kDefaultStatusFieldWidth;
    return kRegOk;
  }

  struct DwordValue {
    const wchar_t* name;
    std::uint32_t* field;
  };
  struct StringValue {
    const wchar_t* name;
    std::wstring* field;
  };
  const DwordValue placement[] = {
      {L"TRI", &m_dwToolbarRowIndex}, {L"TL", &m_dwToolbarLeft}, {L"TP", &m_dwToolbarPosition}};
  const StringValue session[] = {{L"FBSK", &m_strSessionKey},
                                 {L"FBSS", &m_strSessionSecret},
                                 {L"FBUID", &m_strUid},
                                 {L"FBUN", &m_strUserName}};

  if (save) {
    // The first value that cannot be written ends the save.
    for (const DwordValue& value : placement) {
      if (RegistryStatus status = ExchangeDword(key, value.name, *value.field, true)) {
        return status;
      }
    }
    // A session that could not be sealed is not written: the stored one stays as it was,
    // and the save says that it did not store everything.
    for (const StringValue& value : session) {
      if (m_bSessionNotSealed) {
        break;
      }
      if (RegistryStatus status = ExchangeString(key, value.name, *value.field, true)) {
        return status;
      }
    }
    if (RegistryStatus status = ExchangeStatusList(key, m_aStatusValues, true)) {
      return status;
    }
    const RegistryStatus status =
        ExchangeDword(key, L"StatusFieldWidth", m_dwStatusFieldWidth, true);
    return status == kRegOk && m_bSessionNotSealed ? kRegNotSealed : status;
  }

  // The four fields now hold what is stored: nothing is left waiting to be sealed.
  m_bSessionNotSealed = false;
  // A value that cannot be read takes its default and reading goes on. A store found damaged
  // part-way keeps what was read before; the line says what that is.
  std::wstring kept;
  bool damaged = false;
  const auto note = [&](const wchar_t* name, RegistryStatus status) {
    damaged = damaged || status == kRegBadDatabase;
    if (status == kRegOk) {
      kept += (kept.empty() ? L"" : L", ") + std::wstring(name);
    }
    return status;
  };
  for (const DwordValue& value : placement) {
    if (note(value.name, ExchangeDword(key, value.name, *value.field, false)) != kRegOk) {
      *value.field = 0;
    }
  }
  for (const StringValue& value : session) {
    if (note(value.name, ExchangeString(key, value.name, *value.field, false)) != kRegOk) {
      value.field->clear();
    }
  }
  // A damaged list leaves what it read.
  const RegistryStatus listStatus = ExchangeStatusList(key, m_aStatusValues, false);
  damaged = damaged || listStatus == kRegBadDatabase;
  if (!m_aStatusValues.empty()) {
    note(FormatPrintf(L"UserStatusValues (%u)", {m_aStatusValues.size()}).c_str(), kRegOk);
  }
  const RegistryStatus status = note(
      L"StatusFieldWidth", ExchangeDword(key, L"StatusFieldWidth", m_dwStatusFieldWidth, false));
  if (status != kRegOk) {
    m_dwStatusFieldWidth = kDefaultStatusFieldWidth;
  }
  if (damaged && m_pLogger != nullptr) {
    m_pLogger->error(
        "ld: the store was found damaged while the options were read; kept %s; "
        "the others take their defaults",
        kept.empty() ? "nothing" : WideToUtf8(kept).c_str());
  }
  OnAfterLoad();
  return damaged ? kRegBadDatabase : status;
}

std::wstring CFBOpts::ProtectString(std::wstring_view text) const {
  std::wstring sealed = ::ProtectString(m_pProtector, text);
  if (sealed.empty() && !text.empty() && m_pLogger != nullptr) {
    m_pLogger->error("ps: cannot protect a session value");
  }
  return sealed;
}

std::wstring CFBOpts::UnprotectString(std::wstring_view protectedText) const {
  std::wstring text;
  const UnprotectOutcome outcome = TryUnprotect(m_pProtector, protectedText, &text);
  if (m_pLogger != nullptr && outcome == UnprotectOutcome::kNotHex) {
    m_pLogger->error("ups: stored session value is not hex (%zu characters)", protectedText.size());
  } else if (m_pLogger != nullptr && outcome == UnprotectOutcome::kRefused) {
    m_pLogger->error("ups: stored session value does not open (another user or machine?)");
  }
  return text;
}

StoredSession CFBOpts::GetSession() const {
  StoredSession session;
  session.strSessionKey = WideToUtf8(UnprotectString(m_strSessionKey));
  session.strSessionSecret = WideToUtf8(UnprotectString(m_strSessionSecret));
  session.strUid = WideToUtf8(UnprotectString(m_strUid));
  session.strUserName = UnprotectString(m_strUserName);
  return session;
}

void CFBOpts::SetSession(const StoredSession& session) {
  std::wstring* const fields[] = {&m_strSessionKey, &m_strSessionSecret, &m_strUid, &m_strUserName};
  const std::wstring texts[] = {Utf8ToWide(session.strSessionKey),
                                Utf8ToWide(session.strSessionSecret), Utf8ToWide(session.strUid),
                                session.strUserName};
  std::wstring sealed[4];
  bool failed = false;
  for (std::size_t i = 0; i < 4; ++i) {
    std::wstring opened;
    const UnprotectOutcome outcome = TryUnprotect(m_pProtector, *fields[i], &opened);
    // A stored value that still holds the text, or that does not open now (a key refused at
    // this start) while the session has nothing in its place, stays as it is: handing back
    // the nothing that it read as must not erase it.
    if ((outcome == UnprotectOutcome::kOk && opened == texts[i]) ||
        (outcome == UnprotectOutcome::kRefused && texts[i].empty())) {
      sealed[i] = *fields[i];
    } else if (!texts[i].empty()) {
      sealed[i] = ::ProtectString(m_pProtector, texts[i]);
      failed = failed || sealed[i].empty();
    }
  }
  m_bSessionNotSealed = failed;
  if (failed) {
    // The session is one whole: rather the one stored before than a mix with empty values.
    if (m_pLogger != nullptr) {
      m_pLogger->error(
          "ps: cannot protect a session value; the stored session is kept as it "
          "was and is not written");
    }
    return;
  }
  for (std::size_t i = 0; i < 4; ++i) {
    *fields[i] = std::move(sealed[i]);
  }
}

std::optional<ToolbarPlacement> CFBOpts::SavedToolbarPlacement() const {
  if (m_dwToolbarRowIndex == 0) {
    return std::nullopt;
  }
  return ToolbarPlacement{m_dwToolbarPosition, m_dwToolbarRowIndex, m_dwToolbarLeft};
}

std::uint32_t CFBOpts::ClampStatusFieldWidth() {
  m_dwStatusFieldWidth =
      std::clamp(m_dwStatusFieldWidth, kNarrowestStatusField, kWidestStatusField);
  return m_dwStatusFieldWidth;
}

RegistryStatus CFBOpts::LoadOnce() {
  if (!m_bLoaded) {
    m_bLoaded = true;
    m_nFirstLoadStatus = Load();
  }
  return m_nFirstLoadStatus;
}

CFBOpts* GetOptions() {
  CFBOpts* options = CProcessInstance<CFBOpts>::Get();
  if (options == nullptr) {
    ThrowHResult(E_UNEXPECTED);
  }
  options->LoadOnce();
  return options;
}
