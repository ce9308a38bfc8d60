#include "tests/support/fake_combo_box.h"

void CFakeComboBox::Pick(std::int32_t index) {
  SetListIndex(index);
}

void CFakeComboBox::Type(const std::wstring& text) {
  m_strText = text;
  m_nListIndex = 0;
}

HRESULT CFakeComboBox::GetType(std::int32_t* type) {
  *type = office::kControlComboBox;
  return S_OK;
}
HRESULT CFakeComboBox::GetTag(std::wstring* tag) {
  tag->clear();
  return S_OK;
}
HRESULT CFakeComboBox::SetTag(const std::wstring&) {
  return S_OK;
}
HRESULT CFakeComboBox::GetCaption(std::wstring* caption) {
  *caption = m_strCaption;
  return S_OK;
}
HRESULT CFakeComboBox::SetCaption(const std::wstring& caption) {
  m_strCaption = caption;
  return S_OK;
}
HRESULT CFakeComboBox::GetTooltipText(std::wstring* text) {
  *text = m_strTooltip;
  return S_OK;
}
HRESULT CFakeComboBox::SetTooltipText(const std::wstring& text) {
  m_strTooltip = text;
  return S_OK;
}
HRESULT CFakeComboBox::GetBeginGroup(bool* beginGroup) {
  *beginGroup = false;
  return S_OK;
}
HRESULT CFakeComboBox::SetBeginGroup(bool) {
  return S_OK;
}
HRESULT CFakeComboBox::GetVisible(bool* visible) {
  *visible = m_bVisible;
  return S_OK;
}
HRESULT CFakeComboBox::SetVisible(bool visible) {
  m_bVisible = visible;
  return S_OK;
}
HRESULT CFakeComboBox::GetEnabled(bool* enabled) {
  *enabled = m_bEnabled;
  return S_OK;
}
HRESULT CFakeComboBox::SetEnabled(bool enabled) {
  m_bEnabled = enabled;
  return S_OK;
}
HRESULT CFakeComboBox::GetWidth(std::int32_t* width) {
  *width = m_nWidth;
  return S_OK;
}
HRESULT CFakeComboBox::SetWidth(std::int32_t width) {
  m_nWidth = width;
  return S_OK;
}
HRESULT CFakeComboBox::QueryButton(std::shared_ptr<ICommandBarButton>* button) {
  button->reset();
  return E_NOINTERFACE;
}
HRESULT CFakeComboBox::QueryComboBox(std::shared_ptr<ICommandBarComboBox>* comboBox) {
  comboBox->reset();
  return E_NOINTERFACE;  // the fake is not shared; callers hold it directly
}
HRESULT CFakeComboBox::QueryPopup(std::shared_ptr<ICommandBarPopup>* popup) {
  popup->reset();
  return E_NOINTERFACE;
}

HRESULT CFakeComboBox::GetText(std::wstring* text) {
  *text = m_strText;
  return S_OK;
}
HRESULT CFakeComboBox::SetText(const std::wstring& text) {
  m_strText = text;
  m_nListIndex = 0;
  for (std::size_t i = 0; i < m_aItems.size(); ++i) {
    if (m_aItems[i] == text) {
      m_nListIndex = static_cast<std::int32_t>(i + 1);
      break;
    }
  }
  return S_OK;
}
HRESULT CFakeComboBox::GetListIndex(std::int32_t* index) {
  *index = m_nListIndex;
  return S_OK;
}
HRESULT CFakeComboBox::SetListIndex(std::int32_t index) {
  if (index < 0 || index > static_cast<std::int32_t>(m_aItems.size())) {
    return E_INVALIDARG;
  }
  m_nListIndex = index;
  m_strText = index == 0 ? std::wstring() : m_aItems[static_cast<std::size_t>(index - 1)];
  return S_OK;
}
HRESULT CFakeComboBox::GetListCount(std::int32_t* count) {
  *count = static_cast<std::int32_t>(m_aItems.size());
  return S_OK;
}
HRESULT CFakeComboBox::GetListItem(std::int32_t index, std::wstring* text) {
  if (index < 1 || index > static_cast<std::int32_t>(m_aItems.size())) {
    return E_INVALIDARG;
  }
  *text = m_aItems[static_cast<std::size_t>(index - 1)];
  return S_OK;
}
HRESULT CFakeComboBox::Clear() {
  ++m_nClears;
  m_aItems.clear();
  m_strText.clear();
  m_nListIndex = 0;
  return S_OK;
}
HRESULT CFakeComboBox::AddItem(const std::wstring& text) {
  if (m_setFailingAdds.erase(++m_nAdds) != 0) {
    return E_FAIL;
  }
  m_aItems.push_back(text);
  return S_OK;
}
HRESULT CFakeComboBox::SetDropDownLines(std::int32_t) {
  return S_OK;
}
HRESULT CFakeComboBox::SetDropDownWidth(std::int32_t) {
  return S_OK;
}
HRESULT CFakeComboBox::Advise(ICommandBarComboBoxEvents*, std::uint32_t* cookie) {
  *cookie = 1;
  return S_OK;
}
HRESULT CFakeComboBox::Unadvise(std::uint32_t) {
  return S_OK;
}
