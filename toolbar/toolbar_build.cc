// The toolbar's construction and release: the bar, its ten controls and their sinks.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "addin/explorer_coll.h"
#include "addin/outlook_explorer.h"
#include "common/format.h"
#include "platform/clock.h"
#include "resources/bitmaps.h"
#include "resources/string_table.h"
#include "settings/options.h"
#include "toolbar/button_image.h"

namespace morvane {

namespace {

constexpr std::int32_t kDropDownLines = 60;
constexpr std::int32_t kNotificationsWidth = 120;
constexpr std::int32_t kAutomaticDropDownWidth = -1;

// The tag of a new control: "MV" and the performance counter, or nothing without a counter.
// Two controls made within one tick of the counter would share a tag, so a reading that is
// not above the last tag's number takes the next number instead.
std::wstring NewControlTag(IClock& clock) {
  static std::atomic<std::int64_t> lastTag{0};
  const std::int64_t counter = clock.PerformanceCounter();
  if (counter <= 0) {
    return std::wstring();
  }
  std::int64_t last = lastTag.load();
  std::int64_t tag = 0;
  do {
    tag = counter > last ? counter : last + 1;
  } while (!lastTag.compare_exchange_weak(last, tag));
  return FormatPrintf(L"MV%I64d", {static_cast<long long>(tag)});
}

}  // namespace

HRESULT CFBOutlookExplorer::CreateControl(const std::shared_ptr<ICommandBar>& parentBar,
                                          std::int32_t type, unsigned captionId, unsigned tooltipId,
                                          bool beginGroup,
                                          std::shared_ptr<ICommandBarControl>* control) {
  control->reset();
  const std::wstring caption = captionId != 0 ? LoadText(captionId) : std::wstring();
  const std::wstring tooltip = tooltipId != 0 ? LoadText(tooltipId) : std::wstring();
  if (!parentBar) {
    return E_POINTER;
  }
  std::shared_ptr<ICommandBarControls> controls;
  HRESULT hr = parentBar->GetControls(&controls);
  if (FAILED(hr)) {
    return hr;
  }
  if (!controls) {
    return E_FAIL;
  }
  // A control of that caption is taken as it stands, whoever made it.
  std::shared_ptr<ICommandBarControl> found;
  if (SUCCEEDED(controls->FindControl(caption, &found)) && found) {
    *control = std::move(found);
    return S_OK;
  }
  std::shared_ptr<ICommandBarControl> added;
  hr = controls->AddControl(type, true, &added);
  if (FAILED(hr)) {
    return hr;
  }
  if (!added) {
    return E_FAIL;
  }
  m_aMadeControls.push_back(added);
  const std::wstring tag = NewControlTag(m_services.clock);
  if (!tag.empty()) {
    added->SetTag(tag);
  }
  if (!caption.empty()) {
    added->SetCaption(caption);
  }
  if (!tooltip.empty()) {
    added->SetTooltipText(tooltip);
  }
  added->SetBeginGroup(beginGroup);
  added->SetVisible(true);
  *control = std::move(added);
  return S_OK;
}

HRESULT CFBOutlookExplorer::CreateButton(const std::shared_ptr<ICommandBar>& parentBar,
                                         std::int32_t style, unsigned captionId, unsigned tooltipId,
                                         bool beginGroup, unsigned faceBitmapId,
                                         std::uint32_t faceColour,
                                         std::shared_ptr<ICommandBarButton>* button) {
  button->reset();
  std::shared_ptr<ICommandBarControl> control;
  HRESULT hr =
      CreateControl(parentBar, office::kControlButton, captionId, tooltipId, beginGroup, &control);
  if (FAILED(hr)) {
    return hr;
  }
  std::shared_ptr<ICommandBarButton> created;
  hr = control->QueryButton(&created);
  if (FAILED(hr)) {
    return hr;
  }
  if (!created) {
    return E_NOINTERFACE;
  }
  created->SetStyle(style);
  if (faceBitmapId != 0) {
    SetButtonFace(created, faceBitmapId, faceColour);
  }
  created->SetVisible(true);
  *button = std::move(created);
  return S_OK;
}

HRESULT CFBOutlookExplorer::CreateComboBox(const std::shared_ptr<ICommandBar>& parentBar,
                                           std::int32_t type, unsigned captionId,
                                           unsigned tooltipId,
                                           std::shared_ptr<ICommandBarComboBox>* comboBox) {
  comboBox->reset();
  std::shared_ptr<ICommandBarControl> control;
  HRESULT hr = CreateControl(parentBar, type, captionId, tooltipId, false, &control);
  if (FAILED(hr)) {
    return hr;
  }
  std::shared_ptr<ICommandBarComboBox> created;
  hr = control->QueryComboBox(&created);
  if (FAILED(hr)) {
    return hr;
  }
  if (!created) {
    return E_NOINTERFACE;
  }
  *comboBox = std::move(created);
  return S_OK;
}

HRESULT CFBOutlookExplorer::AddButton(unsigned id, const std::shared_ptr<ICommandBar>& parentBar,
                                      std::int32_t style, unsigned captionId, unsigned tooltipId,
                                      bool beginGroup, unsigned faceBitmapId,
                                      std::uint32_t faceColour,
                                      std::shared_ptr<ICommandBarButton>* button) {
  const HRESULT hr = CreateButton(parentBar, style, captionId, tooltipId, beginGroup, faceBitmapId,
                                  faceColour, button);
  if (SUCCEEDED(hr) && *button) {
    auto event = std::make_shared<CCBButtonEvent>();
    m_aButtonEvents.push_back(event);
    event->Advise(*button, this, id);
  }
  return hr;
}

void CFBOutlookExplorer::SetButtonFace(const std::shared_ptr<ICommandBarButton>& button,
                                       unsigned faceBitmapId, std::uint32_t faceColour) {
  m_services.buttonImages.SetButtonImage(*button, m_services.moduleState.GetOutlookMajorVersion(),
                                         faceBitmapId, faceColour);
}

HRESULT CFBOutlookExplorer::BuildToolbar() {
  if (m_bToolbarBuilt) {
    return S_OK;
  }
  std::shared_ptr<ICommandBars> bars;
  if (!m_spExplorer || FAILED(m_spExplorer->GetCommandBars(&bars)) || !bars) {
    return E_FAIL;
  }
  HRESULT hr = S_OK;
  std::shared_ptr<ICommandBar> bar = m_spCommandBar;
  if (!bar) {
    if (FAILED(bars->FindBar(kBarName, &bar))) {
      bar.reset();
    }
    if (bar) {
      // Used, but its placement is someone else's.
      m_spCommandBar = bar;
    } else {
      hr = bars->AddBar(kBarName, office::kBarTop, false, true, &bar);
      if (FAILED(hr)) {
        return hr;
      }
      if (!bar) {
        return E_FAIL;
      }
      m_spCommandBar = bar;
      m_bMadeCommandBar = true;
      ApplySavedPosition();
    }
  }

  if (!m_spFacebookButton) {
    AddButton(command_id::kFacebook, bar, office::kButtonIconAndCaption, IDS_SITE_NAME,
              IDS_SITE_TOOLTIP, false, IDB_FACEBOOK_BUTTON, kFacebookButtonKeyColour,
              &m_spFacebookButton);
  }

  if (!m_spStatusCombo) {
    std::shared_ptr<ICommandBarComboBox> combo;
    hr = CreateComboBox(bar, office::kControlComboBox, IDS_STATUS_CAPTION, IDS_STATUS_TOOLTIP,
                        &combo);
    if (FAILED(hr)) {
      return hr;
    }
    m_spStatusCombo = combo;
    combo->SetWidth(static_cast<std::int32_t>(m_services.options.ClampStatusFieldWidth()));
    combo->SetDropDownLines(kDropDownLines);
    m_statusComboSink.AdviseSink(combo);
  }

  struct MenuItem {
    unsigned nId;
    unsigned nCaption;
    bool bBeginGroup;
    std::shared_ptr<ICommandBarButton>* pField;
  };
  const MenuItem items[] = {
      {command_id::kLogin, IDS_LOGIN, true, &m_spLoginButton},
      {command_id::kLogout, IDS_LOGOUT, true, &m_spLogoutButton},
      {command_id::kCheckNow, IDS_CHECK_NOW, true, &m_spCheckNowButton},
      {command_id::kFeedback, IDS_FEEDBACK, true, &m_spFeedbackButton},
      {command_id::kWebsite, IDS_WEBSITE, false, &m_spWebsiteButton},
      {command_id::kAbout, IDS_ABOUT, false, &m_spAboutButton},
  };
  const auto itemMissing = [&items] {
    for (const MenuItem& item : items) {
      if (!*item.pField) {
        return true;
      }
    }
    return false;
  };
  std::shared_ptr<ICommandBarPopup> popup = m_spMenuPopup;
  if (!popup) {
    std::shared_ptr<ICommandBarControl> control;
    hr = CreateControl(bar, office::kControlPopup, IDS_MENU, IDS_MENU_TOOLTIP, true, &control);
    if (FAILED(hr)) {
      return hr;
    }
    hr = control->QueryPopup(&popup);
    if (FAILED(hr)) {
      return hr;
    }
    if (!popup) {
      return E_NOINTERFACE;
    }
  }
  // Items that could not be added before are added by any later build, so a window is never
  // left without its logout item.
  if (!m_spMenuPopup || itemMissing()) {
    std::shared_ptr<ICommandBar> menuBar;
    hr = popup->GetCommandBar(&menuBar);
    if (FAILED(hr)) {
      return hr;
    }
    if (!menuBar) {
      return E_FAIL;
    }
    // The menu is kept only once its bar could be read, so a menu whose bar could not be
    // read is taken up again by the next build.
    m_spMenuPopup = popup;
    for (const MenuItem& item : items) {
      if (!*item.pField) {
        AddButton(item.nId, menuBar, office::kButtonCaption, item.nCaption, item.nCaption,
                  item.bBeginGroup, 0, 0, item.pField);
      }
    }
  }

  if (!m_spNotificationsCombo) {
    std::shared_ptr<ICommandBarComboBox> combo;
    hr = CreateComboBox(bar, office::kControlDropdown, IDS_NOTIFICATIONS_CAPTION,
                        IDS_NOTIFICATIONS_TOOLTIP, &combo);
    if (FAILED(hr)) {
      return hr;
    }
    m_spNotificationsCombo = combo;
    combo->SetWidth(kNotificationsWidth);
    combo->SetDropDownWidth(kAutomaticDropDownWidth);
    combo->SetDropDownLines(kDropDownLines);
    m_notificationsComboSink.AdviseSink(combo);
  }

  bar->SetVisible(true);
  // A button that could not be added leaves the build incomplete: the next activation tries
  // it again.
  m_bToolbarBuilt = m_spFacebookButton && !itemMissing();
  RefreshToolbar();
  return S_OK;
}

void CFBOutlookExplorer::ApplySavedPosition() {
  if (m_bPositionApplied || !m_bMadeCommandBar || !m_spCommandBar) {
    return;
  }
  m_bPositionApplied = true;
  const std::optional<ToolbarPlacement> placement = m_services.options.SavedToolbarPlacement();
  if (!placement) {
    return;  // never saved: the bar stays where Office put it
  }
  if (placement->dwPosition != 0) {
    m_spCommandBar->SetPosition(static_cast<std::int32_t>(placement->dwPosition));
  }
  m_spCommandBar->SetRowIndex(static_cast<std::int32_t>(placement->dwRowIndex));
  m_spCommandBar->SetLeft(static_cast<std::int32_t>(placement->dwLeft));
}

void CFBOutlookExplorer::ReleaseToolbar() {
  for (const std::shared_ptr<CCBButtonEvent>& event : m_aButtonEvents) {
    event->Release();
  }
  m_aButtonEvents.clear();

  m_spFacebookButton.reset();
  m_spLoginButton.reset();
  m_spLogoutButton.reset();
  m_spCheckNowButton.reset();
  m_spFeedbackButton.reset();
  m_spWebsiteButton.reset();
  m_spAboutButton.reset();
  m_spMenuPopup.reset();

  m_statusComboSink.UnadviseSink();
  m_spStatusCombo.reset();
  m_notificationsComboSink.UnadviseSink();
  m_spNotificationsCombo.reset();

  m_spCommandBar.reset();
  m_bMadeCommandBar = false;
  m_aMadeControls.clear();
  m_hWnd = 0;

  UnadviseSink();
  m_spExplorer.reset();
  if (m_pColl != nullptr) {
    m_pColl->RemoveExplorer(this);
  }
}

}  // namespace morvane
