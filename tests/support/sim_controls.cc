#include "tests/support/sim_controls.h"

#include <gtest/gtest.h>

std::vector<std::wstring> SimComboBox::Items() const {
  std::int32_t count = 0;
  spBox->GetListCount(&count);
  std::vector<std::wstring> items(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    spBox->GetListItem(i + 1, &items[static_cast<std::size_t>(i)]);
  }
  return items;
}

std::wstring SimComboBox::Text() const {
  std::wstring text;
  spBox->GetText(&text);
  return text;
}

std::int32_t SimComboBox::ListIndex() const {
  std::int32_t index = -1;
  spBox->GetListIndex(&index);
  return index;
}

bool SimComboBox::Enabled() const {
  bool enabled = false;
  spBox->GetEnabled(&enabled);
  return enabled;
}

namespace {

constexpr const wchar_t* kBar = L"Test bar";

// A new control of `type` on a new bar of a new window; the window's number in `explorer`.
std::shared_ptr<ICommandBarControl> AddControl(CSimOutlook& outlook, std::int32_t type,
                                               int* explorer) {
  *explorer = outlook.OpenExplorer();
  std::shared_ptr<ICommandBars> bars;
  std::shared_ptr<ICommandBar> bar;
  std::shared_ptr<ICommandBarControls> controls;
  std::shared_ptr<ICommandBarControl> control;
  EXPECT_EQ(outlook.Explorer(*explorer)->GetCommandBars(&bars), S_OK);
  EXPECT_EQ(bars->AddBar(kBar, office::kBarTop, false, true, &bar), S_OK);
  EXPECT_EQ(bar->SetVisible(true), S_OK);
  EXPECT_EQ(bar->GetControls(&controls), S_OK);
  EXPECT_EQ(controls->AddControl(type, true, &control), S_OK);
  return control;
}

}  // namespace

SimComboBox AddSimComboBox(CSimOutlook& outlook, std::int32_t type) {
  SimComboBox combo;
  EXPECT_EQ(AddControl(outlook, type, &combo.nExplorer)->QueryComboBox(&combo.spBox), S_OK);
  combo.path.strBar = kBar;
  combo.path.nControl = 1;
  return combo;
}

SimButton AddSimButton(CSimOutlook& outlook) {
  SimButton button;
  EXPECT_EQ(
      AddControl(outlook, office::kControlButton, &button.nExplorer)->QueryButton(&button.spButton),
      S_OK);
  button.path.strBar = kBar;
  button.path.nControl = 1;
  return button;
}
