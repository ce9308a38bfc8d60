#include "tests/sim/sim_test_support.h"

#include <gtest/gtest.h>

SimControlState SimButton(const std::wstring& caption, bool enabled, bool visible) {
  SimControlState button;
  button.strCaption = caption;
  button.bEnabled = enabled;
  button.bVisible = visible;
  return button;
}

SimControlState SimBox(std::int32_t type, const std::wstring& caption,
                       std::vector<std::wstring> items) {
  SimControlState box;
  box.nType = type;
  box.strCaption = caption;
  box.aItems = std::move(items);
  return box;
}

SimControlState SimMenu(const std::wstring& caption, std::vector<SimControlState> items,
                        bool enabled) {
  SimControlState menu;
  menu.nType = office::kControlPopup;
  menu.strCaption = caption;
  menu.bEnabled = enabled;
  menu.aMenu = std::move(items);
  return menu;
}

SimBarState SimBar(const std::wstring& name, std::vector<SimControlState> controls, bool visible) {
  SimBarState bar;
  bar.strName = name;
  bar.bVisible = visible;
  bar.aControls = std::move(controls);
  return bar;
}

std::shared_ptr<ICommandBarControl> ControlAt(CSimOutlook& outlook, int explorer,
                                              const std::wstring& barName, int control,
                                              int menuItem) {
  std::shared_ptr<ICommandBars> bars;
  std::shared_ptr<ICommandBar> bar;
  std::shared_ptr<ICommandBarControls> controls;
  EXPECT_EQ(outlook.Explorer(explorer)->GetCommandBars(&bars), S_OK);
  EXPECT_EQ(bars->FindBar(barName, &bar), S_OK);
  EXPECT_NE(bar, nullptr);
  EXPECT_EQ(bar->GetControls(&controls), S_OK);
  // Controls are found by caption; the readback names the caption at each position.
  const SimBarState state = *outlook.ReadBar(explorer, barName);
  const SimControlState& chosen = state.aControls.at(static_cast<std::size_t>(control - 1));
  std::shared_ptr<ICommandBarControl> found;
  EXPECT_EQ(controls->FindControl(chosen.strCaption, &found), S_OK);
  if (menuItem == 0) {
    return found;
  }
  std::shared_ptr<ICommandBarPopup> popup;
  std::shared_ptr<ICommandBar> menu;
  EXPECT_EQ(found->QueryPopup(&popup), S_OK);
  EXPECT_EQ(popup->GetCommandBar(&menu), S_OK);
  EXPECT_EQ(menu->GetControls(&controls), S_OK);
  EXPECT_EQ(controls->FindControl(
                chosen.aMenu.at(static_cast<std::size_t>(menuItem - 1)).strCaption, &found),
            S_OK);
  return found;
}

std::uint32_t AdviseControl(ICommandBarControl& control, CNotingSink* sink) {
  std::uint32_t cookie = kNotAdvised;
  std::shared_ptr<ICommandBarButton> button;
  std::shared_ptr<ICommandBarComboBox> box;
  if (control.QueryButton(&button) == S_OK) {
    EXPECT_EQ(button->Advise(sink, &cookie), S_OK);
  } else if (control.QueryComboBox(&box) == S_OK) {
    EXPECT_EQ(box->Advise(sink, &cookie), S_OK);
  } else {
    ADD_FAILURE() << "neither a button nor a combo box";
  }
  return cookie;
}
