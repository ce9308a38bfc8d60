// The events of the driver protocol as JSON objects, made from what the simulated Outlook
// shows. README.md documents every field; the page (page/zenlet.html) and scripts rely on
// them, so fields are only ever added.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/sim_state.h"

// The bar the add-in builds in every explorer.
inline constexpr const wchar_t* kZenletBarName = L"Zenlet";

// Where the controls with a command id stand: the Facebook button on the bar, the others in
// the Zenlet menu, in the order the add-in creates them.
inline constexpr int kFacebookButtonId = 0;
inline constexpr int kMenuCommandIds[] = {2, 3, 4, 8, 9, 10};

// The Zenlet bar's controls by kind, as positions (from 1) on the bar; 0 when missing.
struct ZenletBarLayout {
  int nFacebookButton = 0;
  int nStatusBox = 0;
  int nMenu = 0;
  int nNotifications = 0;
};

// Finds each control by its type (the first button, combo box, popup and drop-down), so a bar
// whose controls were added in another order still reads right.
ZenletBarLayout FindZenletControls(const SimBarState& bar);

// Where the control with command id `id` is, or nothing when no control of the bar has it.
std::optional<SimControlPath> PathOfCommand(const SimBarState& bar, int id);

// {"event":"toolbar","explorer":N,"logged_in":B,"bar":{...},"facebook_button":{...},
//  "status":{...},"menu":{...},"notifications":{...}}; a part that is missing is null.
nlohmann::ordered_json ToolbarEvent(int explorer, const std::optional<SimBarState>& bar,
                                    bool bLoggedIn);

// {"event":"explorers","open":[N,...],"active":N,"disabled":[N,...]}
nlohmann::ordered_json ExplorersEvent(const std::vector<SimExplorerInfo>& explorers, int active);

// {"event":"message_box","box":K,"explorer":N,"title":T,"text":X,"style":S}
nlohmann::ordered_json MessageBoxEvent(const SimMessageBox& box);
// {"event":"message_box_closed","box":K,"explorer":N,"answer":A}
nlohmann::ordered_json MessageBoxClosedEvent(const SimMessageBox& box, int answer);

nlohmann::ordered_json OpenUrlEvent(const std::wstring& address);
nlohmann::ordered_json MailEvent(const SimMail& mail);
nlohmann::ordered_json CursorEvent(bool bBusy);
nlohmann::ordered_json ErrorEvent(const std::string& message);
nlohmann::ordered_json ByeEvent();
