#include "tools/zenlet/driver_events.h"

#include <iterator>

#include "common/text.h"
#include "platform/sim/sim_dib.h"

namespace {

constexpr std::int32_t kControlEdit = 2;

std::string Text(const std::wstring& text) {
  return WideToUtf8(text);
}

nlohmann::ordered_json Picture(const PixelImage& image) {
  if (image.nWidth <= 0 || image.nHeight <= 0) {
    return nullptr;
  }
  return {{"width", image.nWidth}, {"height", image.nHeight}, {"pixels", image.aPixels}};
}

nlohmann::ordered_json Items(const std::vector<std::wstring>& items) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const std::wstring& item : items) {
    list.push_back(Text(item));
  }
  return list;
}

// What every control shows.
nlohmann::ordered_json Common(const SimControlState& control) {
  return {{"caption", Text(control.strCaption)},
          {"tooltip", Text(control.strTooltip)},
          {"visible", control.bVisible},
          {"enabled", control.bEnabled},
          {"begin_group", control.bBeginGroup}};
}

// A face pasted from the clipboard, as the bitmap Office took; none when unreadable.
PixelImage Pasted(const std::vector<std::uint8_t>& dib) {
  PixelImage image;
  if (!dib.empty() && !DecodeDib(dib, &image)) {
    image = PixelImage{};
  }
  return image;
}

nlohmann::ordered_json Button(const SimControlState& control, const nlohmann::ordered_json& id) {
  nlohmann::ordered_json button = Common(control);
  button["id"] = id;
  button["style"] = control.nStyle;
  const bool bPasted = !control.aPastedFace.empty();
  button["face"] = Picture(bPasted ? Pasted(control.aPastedFace) : control.picture);
  button["mask"] = Picture(bPasted ? Pasted(control.aPastedMask) : control.mask);
  button["pasted"] = bPasted;
  return button;
}

nlohmann::ordered_json ComboBox(const SimControlState& control) {
  nlohmann::ordered_json box = Common(control);
  box["text"] = Text(control.strText);
  box["items"] = Items(control.aItems);
  box["list_index"] = control.nListIndex;
  box["width"] = control.nWidth;
  box["drop_down_lines"] = control.nDropDownLines;
  box["drop_down_width"] = control.nDropDownWidth;
  return box;
}

nlohmann::ordered_json Menu(const SimControlState& popup) {
  nlohmann::ordered_json menu = Common(popup);
  nlohmann::ordered_json items = nlohmann::ordered_json::array();
  for (std::size_t i = 0; i < popup.aMenu.size(); ++i) {
    // Items beyond the add-in's own have no command id.
    const nlohmann::ordered_json id = i < std::size(kMenuCommandIds)
                                          ? nlohmann::ordered_json(kMenuCommandIds[i])
                                          : nlohmann::ordered_json(nullptr);
    items.push_back(Button(popup.aMenu[i], id));
  }
  menu["items"] = std::move(items);
  return menu;
}

const SimControlState* ControlAt(const SimBarState& bar, int position) {
  return position > 0 ? &bar.aControls[static_cast<std::size_t>(position - 1)] : nullptr;
}

}  // namespace

ZenletBarLayout FindZenletControls(const SimBarState& bar) {
  ZenletBarLayout layout;
  for (std::size_t i = 0; i < bar.aControls.size(); ++i) {
    const int position = static_cast<int>(i) + 1;
    int* slot = nullptr;
    switch (bar.aControls[i].nType) {
      case office::kControlButton:
        slot = &layout.nFacebookButton;
        break;
      case office::kControlComboBox:
      case kControlEdit:
        slot = &layout.nStatusBox;
        break;
      case office::kControlPopup:
        slot = &layout.nMenu;
        break;
      case office::kControlDropdown:
        slot = &layout.nNotifications;
        break;
      default:
        break;
    }
    if (slot != nullptr && *slot == 0) {
      *slot = position;
    }
  }
  return layout;
}

std::optional<SimControlPath> PathOfCommand(const SimBarState& bar, int id) {
  const ZenletBarLayout layout = FindZenletControls(bar);
  if (id == kFacebookButtonId) {
    if (layout.nFacebookButton == 0) {
      return std::nullopt;
    }
    return SimControlPath{bar.strName, layout.nFacebookButton, 0, L""};
  }
  const SimControlState* menu = ControlAt(bar, layout.nMenu);
  for (std::size_t i = 0; menu != nullptr && i < std::size(kMenuCommandIds); ++i) {
    if (kMenuCommandIds[i] == id && i < menu->aMenu.size()) {
      return SimControlPath{bar.strName, layout.nMenu, static_cast<int>(i) + 1, L""};
    }
  }
  return std::nullopt;
}

nlohmann::ordered_json ToolbarEvent(int explorer, const std::optional<SimBarState>& bar,
                                    bool bLoggedIn) {
  nlohmann::ordered_json event = {
      {"event", "toolbar"}, {"explorer", explorer},       {"logged_in", bLoggedIn},
      {"bar", nullptr},     {"facebook_button", nullptr}, {"status", nullptr},
      {"menu", nullptr},    {"notifications", nullptr}};
  if (!bar) {
    return event;
  }
  event["bar"] = {{"name", Text(bar->strName)},
                  {"visible", bar->bVisible},
                  {"position", bar->nPosition},
                  {"row_index", bar->nRowIndex},
                  {"left", bar->nLeft}};
  const ZenletBarLayout layout = FindZenletControls(*bar);
  if (const SimControlState* button = ControlAt(*bar, layout.nFacebookButton)) {
    event["facebook_button"] = Button(*button, kFacebookButtonId);
  }
  if (const SimControlState* status = ControlAt(*bar, layout.nStatusBox)) {
    event["status"] = ComboBox(*status);
  }
  if (const SimControlState* menu = ControlAt(*bar, layout.nMenu)) {
    event["menu"] = Menu(*menu);
  }
  if (const SimControlState* notifications = ControlAt(*bar, layout.nNotifications)) {
    event["notifications"] = ComboBox(*notifications);
  }
  return event;
}

nlohmann::ordered_json ExplorersEvent(const std::vector<SimExplorerInfo>& explorers, int active) {
  nlohmann::ordered_json open = nlohmann::ordered_json::array();
  nlohmann::ordered_json disabled = nlohmann::ordered_json::array();
  for (const SimExplorerInfo& explorer : explorers) {
    if (explorer.bOpen) {
      open.push_back(explorer.nNumber);
      if (!explorer.bEnabled) {
        disabled.push_back(explorer.nNumber);
      }
    }
  }
  return {{"event", "explorers"}, {"open", open}, {"active", active}, {"disabled", disabled}};
}

nlohmann::ordered_json MessageBoxEvent(const SimMessageBox& box) {
  return {{"event", "message_box"},    {"box", box.nId},
          {"explorer", box.nExplorer}, {"title", Text(box.strTitle)},
          {"text", Text(box.strText)}, {"style", box.nStyle}};
}

nlohmann::ordered_json MessageBoxClosedEvent(const SimMessageBox& box, int answer) {
  return {{"event", "message_box_closed"},
          {"box", box.nId},
          {"explorer", box.nExplorer},
          {"answer", answer}};
}

nlohmann::ordered_json OpenUrlEvent(const std::wstring& address) {
  return {{"event", "open_url"}, {"url", Text(address)}};
}

nlohmann::ordered_json MailEvent(const SimMail& mail) {
  return {{"event", "mail"}, {"subject", Text(mail.strSubject)}, {"to", Text(mail.strTo)}};
}

nlohmann::ordered_json CursorEvent(bool bBusy) {
  return {{"event", "cursor"}, {"busy", bBusy}};
}

nlohmann::ordered_json ErrorEvent(const std::string& message) {
  return {{"event", "error"}, {"message", message}};
}

nlohmann::ordered_json ByeEvent() {
  return {{"event", "bye"}};
}
