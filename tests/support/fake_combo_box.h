// A command bar combo box (or drop-down) kept in memory, behaving as Office's does for the
// operations the add-in uses: AddItem appends, ListIndex 1-based with 0 for typed text, and
// choosing an index shows that item's text. Chosen AddItem calls can be made to fail.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/outlook_host.h"

class CFakeComboBox : public ICommandBarComboBox {
 public:
  // The `nth` AddItem from now on (1 = the next) fails with E_FAIL and adds nothing.
  void FailAddItem(int nth) { m_setFailingAdds.insert(m_nAdds + nth); }
  // The user picks item `index` from the list (1-based), as before a Change event.
  void Pick(std::int32_t index);
  // The user types `text` into the edit field.
  void Type(const std::wstring& text);

  std::vector<std::wstring> m_aItems;
  std::wstring m_strText;
  std::int32_t m_nListIndex = 0;
  bool m_bEnabled = true;
  bool m_bVisible = true;
  std::wstring m_strTooltip;
  std::wstring m_strCaption;
  int m_nClears = 0;

  HRESULT GetType(std::int32_t* type) override;
  HRESULT GetTag(std::wstring* tag) override;
  HRESULT SetTag(const std::wstring& tag) override;
  HRESULT GetCaption(std::wstring* caption) override;
  HRESULT SetCaption(const std::wstring& caption) override;
  HRESULT GetTooltipText(std::wstring* text) override;
  HRESULT SetTooltipText(const std::wstring& text) override;
  HRESULT GetBeginGroup(bool* beginGroup) override;
  HRESULT SetBeginGroup(bool beginGroup) override;
  HRESULT GetVisible(bool* visible) override;
  HRESULT SetVisible(bool visible) override;
  HRESULT GetEnabled(bool* enabled) override;
  HRESULT SetEnabled(bool enabled) override;
  HRESULT GetWidth(std::int32_t* width) override;
  HRESULT SetWidth(std::int32_t width) override;
  HRESULT QueryButton(std::shared_ptr<ICommandBarButton>* button) override;
  HRESULT QueryComboBox(std::shared_ptr<ICommandBarComboBox>* comboBox) override;
  HRESULT QueryPopup(std::shared_ptr<ICommandBarPopup>* popup) override;

  HRESULT GetText(std::wstring* text) override;
  HRESULT SetText(const std::wstring& text) override;
  HRESULT GetListIndex(std::int32_t* index) override;
  HRESULT SetListIndex(std::int32_t index) override;
  HRESULT GetListCount(std::int32_t* count) override;
  HRESULT GetListItem(std::int32_t index, std::wstring* text) override;
  HRESULT Clear() override;
  HRESULT AddItem(const std::wstring& text) override;
  HRESULT SetDropDownLines(std::int32_t lines) override;
  HRESULT SetDropDownWidth(std::int32_t width) override;
  HRESULT Advise(ICommandBarComboBoxEvents* sink, std::uint32_t* cookie) override;
  HRESULT Unadvise(std::uint32_t cookie) override;

 private:
  int m_nAdds = 0;
  std::set<int> m_setFailingAdds;
  std::int32_t m_nWidth = 0;
};
