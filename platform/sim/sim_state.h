// Plain records of the simulated Outlook: what a person would see of it (a command bar with
// its controls, a message box, a mail window, an explorer window) and the outcome of a driver
// action. The same bar and control records describe the bars an explorer starts with.
//
// Texts are wide strings as the object model gives them; error explanations for whoever
// drives the simulation are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/hresult.h"
#include "platform/outlook_host.h"
#include "platform/user_shell.h"

// Failure codes the simulation answers with, under the names COM gives them.
namespace sim_error {
// A host object called from a thread other than Outlook's main thread (RPC_E_WRONG_THREAD).
inline constexpr HRESULT kWrongThread = static_cast<HRESULT>(0x8001010Eu);
// A host object whose window has closed, or an Outlook that has gone (RPC_E_DISCONNECTED).
inline constexpr HRESULT kDisconnected = static_cast<HRESULT>(0x80010108u);
// An Outlook collection index out of range (DISP_E_BADINDEX).
inline constexpr HRESULT kBadIndex = static_cast<HRESULT>(0x8002000Bu);
// The clipboard is held open by someone else (CLIPBRD_E_CANT_OPEN).
inline constexpr HRESULT kClipboardCantOpen = static_cast<HRESULT>(0x800401D0u);
// A source that has handed out every cookie it can (CONNECT_E_ADVISELIMIT).
inline constexpr HRESULT kAdviseLimit = static_cast<HRESULT>(0x80040201u);
}  // namespace sim_error

// Office's bar positions besides office::kBarTop.
namespace sim_bar_position {
inline constexpr std::int32_t kLeft = 0;
inline constexpr std::int32_t kTop = 1;
inline constexpr std::int32_t kRight = 2;
inline constexpr std::int32_t kBottom = 3;
inline constexpr std::int32_t kFloating = 4;
inline constexpr std::int32_t kPopup = 5;  // a menu's own bar
inline constexpr std::int32_t kMenuBar = 6;
}  // namespace sim_bar_position

// The outcome of a driver action: S_OK, or a failure with a short explanation.
struct SimResult {
  HRESULT hr = S_OK;
  std::string strError;

  bool Ok() const { return SUCCEEDED(hr); }
  static SimResult Failure(HRESULT hr, std::string text) { return {hr, std::move(text)}; }
};

// One control as it stands. Fields that do not apply to the control's type keep their
// defaults.
struct SimControlState {
  std::int32_t nType = office::kControlButton;  // office::kControl..., or 2 for an edit box
  std::wstring strCaption;
  std::wstring strTooltip;
  std::wstring strTag;
  bool bBeginGroup = false;
  bool bVisible = true;
  bool bEnabled = true;
  std::int32_t nWidth = 0;  // when setting up: 0 gives the type's default width
  bool bTemporary = false;  // vanishes with its window
  int nSinks = 0;           // sinks advised on it now (read back only)

  // Buttons. A face comes either as pixels (Picture and Mask) or as the clipboard blocks
  // that PasteFace took; setting one way clears the other.
  std::int32_t nStyle = 0;  // msoButtonAutomatic until set
  PixelImage picture;
  PixelImage mask;
  std::vector<std::uint8_t> aPastedFace;  // the face block (a private face or a CF_DIB)
  std::vector<std::uint8_t> aPastedMask;  // empty when the face came as a CF_DIB
  bool bFaceFromDib = false;              // PasteFace found no private formats

  // Combo boxes, drop-downs and edit boxes.
  std::wstring strText;
  std::vector<std::wstring> aItems;
  std::int32_t nListIndex = 0;  // 1-based; 0 for typed text or none chosen
  std::int32_t nDropDownLines = 0;
  std::int32_t nDropDownWidth = 0;

  // Popups: the controls of the menu's own bar.
  std::vector<SimControlState> aMenu;
};

// One command bar as it stands.
struct SimBarState {
  std::wstring strName;
  std::int32_t nPosition = sim_bar_position::kTop;
  std::int32_t nRowIndex = 1;
  std::int32_t nLeft = 0;
  bool bVisible = true;
  bool bTemporary = false;
  bool bMenuBar = false;
  std::vector<SimControlState> aControls;
};

// A message box, from the moment it opens.
struct SimMessageBox {
  int nId = 0;             // counted from 1 in the order the boxes opened
  int nExplorer = 0;       // the explorer that owns it (through other boxes too), 0 for none
  WindowHandle owner = 0;  // as the caller passed it
  WindowHandle window = 0;
  std::wstring strTitle;
  std::wstring strText;
  std::uint32_t nStyle = 0;
};

// A mail window, as Display showed it.
struct SimMail {
  std::wstring strSubject;
  std::wstring strTo;
};

// One explorer window, open or closed.
struct SimExplorerInfo {
  int nNumber = 0;  // from 1, in the order the explorers opened; never reused
  WindowHandle window = 0;
  bool bOpen = false;
  bool bActive = false;
  bool bEnabled = true;  // false while a message box it owns is open
  // Sinks still advised on the window's objects when it went away (its explorer events and
  // every control); -1 while it is open.
  int nSinksLeftAtClose = -1;
};

// Names a control for driver input: the control at position `nControl` (from 1) of the bar
// named `strBar`, or, with `nMenuItem` above 0, the item at that position of that popup's
// menu. With `strCaption` set, the first control of the bar or of its menus whose caption is
// that text instead.
struct SimControlPath {
  std::wstring strBar;
  int nControl = 0;
  int nMenuItem = 0;
  std::wstring strCaption;
};
