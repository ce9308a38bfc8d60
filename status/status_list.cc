#include "status/status_list.h"

#include <mutex>
#include <utility>

#include "common/format.h"
#include "facebook/facebook_client.h"
#include "platform/outlook_host.h"
#include "settings/options.h"

namespace {

constexpr const wchar_t* kPresets[] = {L"is at work", L"is at home", L"is with the family"};
constexpr const wchar_t* kInboxFormat = L"has %d messages in the Inbox";

}  // namespace

CStatusList::CStatusList(CFBOpts& options, const CFacebookClient& client,
                         NowPlayingSource nowPlaying, ApplicationSource application)
    : m_options(options),
      m_client(client),
      m_nowPlaying(std::move(nowPlaying)),
      m_application(std::move(application)) {}

void CStatusList::LoadFromOptions() {
  m_aValues.clear();
  for (const CUserStatusOpt& value : m_options.m_aStatusValues) {
    if (!value.m_strStatus.empty()) {
      m_aValues.push_back(value.m_strStatus);
    }
  }
  m_bChanged = true;
}

void CStatusList::Remember(std::int32_t listIndex, const std::wstring& text) {
  if (text.empty() || listIndex < 0) {
    return;
  }
  if (listIndex != 0) {
    if (static_cast<std::size_t>(listIndex) > m_aValues.size()) {
      return;  // a preset or a live value: not remembered
    }
    m_aValues.erase(m_aValues.begin() + (listIndex - 1));  // it comes back at the front
  }
  // A typed text equal to a remembered value is kept twice, as the user typed it again.
  m_aValues.insert(m_aValues.begin(), text);
  if (m_aValues.size() > kMostRemembered) {
    m_aValues.resize(kMostRemembered);
  }
  SaveToOptions();
  m_bChanged = true;
}

void CStatusList::SaveToOptions() {
  m_options.m_aStatusValues.clear();
  for (const std::wstring& value : m_aValues) {
    if (!value.empty()) {
      m_options.m_aStatusValues.emplace_back(value);
    }
  }
  m_options.Save();  // a failed save keeps the list in memory as changed
}

bool CStatusList::RefreshLiveValues() {
  if (m_bChanged) {
    return true;  // rebuilt anyway; the live values are read at the next refresh
  }
  std::wstring nowPlaying = m_nowPlaying ? m_nowPlaying() : std::wstring();
  if (nowPlaying != m_bstrNowPlayingItem) {
    m_bstrNowPlayingItem = std::move(nowPlaying);
    m_bChanged = true;
  }

  std::int32_t inboxCount = 0;
  if (FAILED(GetInboxItemCount(&inboxCount))) {
    inboxCount = 0;  // the Inbox entry is left out
  }
  if (inboxCount != m_nInboxCount) {
    m_bstrInboxText = FormatPrintf(kInboxFormat, {inboxCount});
    m_nInboxCount = inboxCount;
    m_bChanged = true;
  }

  std::string sessionKey;
  {
    std::lock_guard<std::mutex> lock(m_client.m_csState);
    sessionKey = m_client.m_session.strSessionKey;
  }
  if (sessionKey != m_strLastSessionKey) {
    m_strLastSessionKey = std::move(sessionKey);
    m_bChanged = true;
  }
  return m_bChanged;
}

void CStatusList::FillComboBox(ICommandBarComboBox& comboBox) {
  if (!RefreshLiveValues()) {
    return;
  }
  // The text being typed survives the rebuild.
  std::wstring text;
  comboBox.GetText(&text);
  comboBox.Clear();
  comboBox.SetText(text);

  for (const std::wstring& value : m_aValues) {
    comboBox.AddItem(value);
  }
  for (const wchar_t* preset : kPresets) {
    comboBox.AddItem(preset);
  }
  if (!m_bstrNowPlayingItem.empty()) {
    comboBox.AddItem(m_bstrNowPlayingItem);
  }
  if (m_nInboxCount > 0) {
    comboBox.AddItem(m_bstrInboxText);
  }
  m_bChanged = false;
}

HRESULT CStatusList::GetInboxItemCount(std::int32_t* count) {
  *count = 0;
  std::shared_ptr<IOutlookApplication> application;
  HRESULT hr = m_application ? m_application(&application) : E_POINTER;
  if (FAILED(hr) || !application) {
    return FAILED(hr) ? hr : E_POINTER;
  }
  std::shared_ptr<IOutlookNameSpace> nameSpace;
  hr = application->GetSession(&nameSpace);
  if (FAILED(hr) || !nameSpace) {
    return FAILED(hr) ? hr : E_FAIL;
  }
  std::shared_ptr<IOutlookFolder> inbox;
  hr = nameSpace->GetDefaultFolder(outlook::kFolderInbox, &inbox);
  if (FAILED(hr) || !inbox) {
    return FAILED(hr) ? hr : E_FAIL;
  }
  return inbox->GetItemCount(count);
}
