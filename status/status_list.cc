#include "status/status_list.h"

#include <mutex>
#include <utility>

#include "common/format.h"
#include "facebook/facebook_client.h"
#include "platform/outlook_host.h"
#include "status/remembered_statuses.h"

namespace {

constexpr const wchar_t* kPresets[] = {L"is at work", L"is at home", L"is with the family"};
constexpr const wchar_t* kInboxFormat = L"has %d messages in the Inbox";

}  // namespace

CStatusList::CStatusList(CRememberedStatuses& remembered, const CFacebookClient& client,
                         NowPlayingSource nowPlaying, ApplicationSource application)
    : m_remembered(remembered),
      m_client(client),
      m_nowPlaying(std::move(nowPlaying)),
      m_application(std::move(application)) {}

void CStatusList::Remember(std::int32_t listIndex, const std::wstring& text) {
  if (text.empty() || listIndex < 0) {
    return;
  }
  const auto chosen = static_cast<std::size_t>(listIndex);
  if (chosen > m_nShownValues) {
    return;  // a preset or a live value: not remembered
  }
  m_remembered.Remember(chosen, m_nShownGeneration, text);
  m_bChanged = true;
}

bool CStatusList::RefreshLiveValues() {
  if (m_bChanged) {
    return true;  // rebuilt anyway; the live values are read at the next refresh
  }
  // A post from another window changed the process's list.
  if (m_remembered.Generation() != m_nShownGeneration) {
    m_bChanged = true;
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

  for (const std::wstring& value : m_remembered.Values()) {
    comboBox.AddItem(value);
  }
  m_nShownValues = m_remembered.Values().size();
  m_nShownGeneration = m_remembered.Generation();
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
