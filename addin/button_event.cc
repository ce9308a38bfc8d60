#include "addin/button_event.h"

#include <utility>

HRESULT CCBButtonEvent::Advise(std::shared_ptr<ICommandBarButton> button,
                               ICBButtonEventCallback* callback, unsigned id) {
  m_nCommandId = id;
  m_pCallback = callback;
  const HRESULT hr = AdviseSink(button);
  if (SUCCEEDED(hr)) {
    m_spButton = std::move(button);
  }
  return hr;
}

void CCBButtonEvent::Release() {
  if (m_spButton) {
    UnadviseSink();
    m_spButton.reset();
  }
  m_pCallback = nullptr;
}

void CCBButtonEvent::OnClick(const std::shared_ptr<ICommandBarButton>& ctrl, bool* cancelDefault) {
  if (m_pCallback != nullptr) {
    m_pCallback->OnButtonClick(ctrl, cancelDefault, m_nCommandId);
  }
}
