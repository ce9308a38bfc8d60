#include "tools/com_outlook/host_windows.h"

#include <cwchar>
#include <string>
#include <vector>

#include "platform/win32/win32_handles.h"

namespace {

constexpr const wchar_t* kPumpClass = L"ZenletTestOutlookPump";
constexpr const wchar_t* kExplorerClass = L"ZenletTestOutlookExplorer";
constexpr UINT kRunMessage = WM_APP + 1;        // the simulation has work
constexpr UINT kTickedMessage = WM_APP + 2;     // wParam: a thread timer that has just run
constexpr UINT kBoxOpenedMessage = WM_APP + 3;  // wParam: a message box's window

CHostWindows* g_pHost = nullptr;  // the hooks' way back to the one object

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool IsDialog(HWND window) {
  wchar_t name[16] = {};
  return GetClassNameW(window, name, 16) > 0 && std::wcscmp(name, L"#32770") == 0;
}

bool HasButton(HWND box, int id) {
  const HWND button = GetDlgItem(box, id);
  return button != nullptr && (GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE) != 0;
}

// The MB_ style the box was opened with, as its buttons, icon and placement show it.
std::uint32_t StyleOf(HWND box, std::wstring* text) {
  std::uint32_t style = MB_OK;
  if (HasButton(box, IDABORT)) {
    style = MB_ABORTRETRYIGNORE;
  } else if (HasButton(box, IDYES)) {
    style = HasButton(box, IDCANCEL) ? MB_YESNOCANCEL : MB_YESNO;
  } else if (HasButton(box, IDTRYAGAIN)) {
    style = MB_CANCELTRYCONTINUE;
  } else if (HasButton(box, IDRETRY)) {
    style = MB_RETRYCANCEL;
  } else if (HasButton(box, IDCANCEL) && HasButton(box, IDOK)) {
    style = MB_OKCANCEL;
  }
  const struct {
    LPCWSTR icon;
    std::uint32_t style;
  } kIcons[] = {{IDI_HAND, MB_ICONHAND},
                {IDI_QUESTION, MB_ICONQUESTION},
                {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                {IDI_ASTERISK, MB_ICONASTERISK}};
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    if (_wcsicmp(name, L"Static") != 0) {
      continue;
    }
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      const auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
      for (const auto& known : kIcons) {
        if (icon != nullptr && icon == LoadIconW(nullptr, known.icon)) {
          style |= known.style;
        }
      }
    } else if (text->empty()) {
      *text = WindowText(child);
    }
  }
  if ((GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) {
    style |= MB_TOPMOST;
  }
  return style;
}

class CPumpingWakeEvent : public IWakeEvent {
 public:
  CPumpingWakeEvent(CKernelHandle event, CHostWindows& host)
      : m_hEvent(std::move(event)), m_host(host) {}

  void Signal() override {
    SetEvent(m_hEvent.Get());
    m_host.RequestRun();
  }
  bool Wait(std::uint32_t timeoutMs) override {
    const DWORD start = GetTickCount();
    for (;;) {
      const DWORD waited = GetTickCount() - start;
      const DWORD left = waited >= timeoutMs ? 0 : timeoutMs - waited;
      const HANDLE event = m_hEvent.Get();
      const DWORD result =
          MsgWaitForMultipleObjectsEx(1, &event, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      if (result == WAIT_OBJECT_0) {
        return true;
      }
      if (result != WAIT_OBJECT_0 + 1) {
        return false;
      }
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
  }

 private:
  CKernelHandle m_hEvent;
  CHostWindows& m_host;
};

}  // namespace

CHostWindows::CHostWindows() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW pump{};
  pump.lpfnWndProc = PumpProc;
  pump.hInstance = instance;
  pump.lpszClassName = kPumpClass;
  RegisterClassW(&pump);
  WNDCLASSW explorer{};
  explorer.lpfnWndProc = DefWindowProcW;
  explorer.hInstance = instance;
  explorer.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  explorer.lpszClassName = kExplorerClass;
  RegisterClassW(&explorer);

  g_pHost = this;
  m_hPump =
      CreateWindowExW(0, kPumpClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  wchar_t handle[32];
  std::swprintf(handle, 32, L"%llx",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(m_hPump)));
  SetEnvironmentVariableW(kHostWindowVariable, handle);

  const DWORD thread = GetCurrentThreadId();
  m_hGetMessage = SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, thread);
  m_hCallWndProc = SetWindowsHookExW(WH_CALLWNDPROC, CallWndProcHook, nullptr, thread);
  m_hCallWndProcReturn =
      SetWindowsHookExW(WH_CALLWNDPROCRET, CallWndProcReturnHook, nullptr, thread);
}

CHostWindows::~CHostWindows() {
  for (HHOOK hook : {m_hGetMessage, m_hCallWndProc, m_hCallWndProcReturn}) {
    if (hook != nullptr) {
      UnhookWindowsHookEx(hook);
    }
  }
  if (m_hPump != nullptr) {
    DestroyWindow(m_hPump);
  }
  g_pHost = nullptr;
}

void CHostWindows::Attach(CSimOutlook* outlook) {
  m_pOutlook = outlook;
}

WindowHandle CHostWindows::CreateExplorerWindow(int explorer) {
  const std::wstring title = L"Inbox - Outlook (explorer " + std::to_wstring(explorer) + L")";
  const HWND window = CreateWindowExW(
      0, kExplorerClass, title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
      CW_USEDEFAULT, 900, 600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  return reinterpret_cast<WindowHandle>(window);
}

void CHostWindows::DestroyExplorerWindow(WindowHandle window) {
  DestroyWindow(reinterpret_cast<HWND>(window));
}

int CHostWindows::FireThreadTimers() {
  if (m_timers.empty()) {
    // Nothing has ticked yet: the first tick is the timer firing.
    const DWORD start = GetTickCount();
    while (m_timers.empty() && GetTickCount() - start < kFirstTickWaitMs) {
      MsgWaitForMultipleObjectsEx(0, nullptr, 50, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      PumpWaiting();
    }
    return m_timers.empty() ? 0 : 1;
  }
  // A procedure of a timer killed since its last tick is called all the same, as the
  // system's own dispatch of a late WM_TIMER would: the add-in's ignores an id it no longer
  // runs.
  const std::map<UINT_PTR, LPARAM> timers = m_timers;
  for (const auto& [id, procedure] : timers) {
    MSG tick{};
    tick.message = WM_TIMER;
    tick.wParam = id;
    tick.lParam = procedure;
    tick.time = GetTickCount();
    DispatchMessageW(&tick);
    if (m_pOutlook != nullptr) {
      m_pOutlook->NotifyTimerFired(id);
    }
  }
  return static_cast<int>(timers.size());
}

std::unique_ptr<IWakeEvent> CHostWindows::CreateWakeEvent() {
  CKernelHandle event(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!event) {
    return nullptr;
  }
  return std::make_unique<CPumpingWakeEvent>(std::move(event), *this);
}

void CHostWindows::RequestRun() {
  if (!m_bRunPosted.exchange(true)) {
    PostMessageW(m_hPump, kRunMessage, 0, 0);
  }
}

void CHostWindows::PumpWaiting() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

LRESULT CALLBACK CHostWindows::PumpProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_pHost != nullptr && window == g_pHost->m_hPump) {
    return g_pHost->OnPumpMessage(message, wParam, lParam);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CHostWindows::OnPumpMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kRunMessage:
      m_bRunPosted = false;
      if (m_pOutlook != nullptr) {
        m_pOutlook->RunPending();
      }
      return 0;
    case kTickedMessage:
      if (m_pOutlook != nullptr) {
        m_pOutlook->NotifyTimerFired(static_cast<TimerId>(wParam));
      }
      return 0;
    case kBoxOpenedMessage:
      OnBoxOpened(reinterpret_cast<HWND>(wParam));
      return 0;
    case WM_COPYDATA: {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (data == nullptr || data->dwData != kBrowserReport || m_pOutlook == nullptr) {
        return FALSE;
      }
      const std::wstring address(static_cast<const wchar_t*>(data->lpData),
                                 data->cbData / sizeof(wchar_t));
      m_pOutlook->UserShell().OpenAddress(address);
      return TRUE;
    }
    default:
      return DefWindowProcW(m_hPump, message, wParam, lParam);
  }
}

void CHostWindows::OnBoxOpened(HWND box) {
  if (m_pOutlook == nullptr || !IsWindow(box) || m_boxes.count(box) != 0) {
    return;
  }
  std::wstring text;
  const std::uint32_t style = StyleOf(box, &text);
  const HWND owner = GetWindow(box, GW_OWNER);
  // Known before the policy may answer it inside AddSystemMessageBox.
  m_boxes[box] = 0;
  const int id = m_pOutlook->AddSystemMessageBox(
      reinterpret_cast<WindowHandle>(owner), reinterpret_cast<WindowHandle>(box), WindowText(box),
      text, style, [box](int answer) {
        // As the user presses the button.
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
      });
  const auto open = m_boxes.find(box);
  if (open != m_boxes.end()) {
    open->second = id;
  }
}

void CHostWindows::OnWindowDestroyed(HWND window) {
  const auto open = m_boxes.find(window);
  if (open == m_boxes.end()) {
    return;
  }
  const int id = open->second;
  m_boxes.erase(open);
  if (m_pOutlook != nullptr && id != 0) {
    m_pOutlook->RemoveSystemMessageBox(id, 0);
  }
}

LRESULT CALLBACK CHostWindows::GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && g_pHost != nullptr &&
      message->message == WM_TIMER && message->hwnd == nullptr && message->lParam != 0) {
    g_pHost->m_timers[message->wParam] = message->lParam;
    // Posted now, handled once the tick's procedure has run.
    PostMessageW(g_pHost->m_hPump, kTickedMessage, message->wParam, 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CHostWindows::CallWndProcHook(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && g_pHost != nullptr && message->message == WM_DESTROY) {
    g_pHost->OnWindowDestroyed(message->hwnd);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CHostWindows::CallWndProcReturnHook(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (code == HC_ACTION && g_pHost != nullptr && message->message == WM_INITDIALOG &&
      IsDialog(message->hwnd)) {
    // Told once its modal loop runs, when its owner is disabled.
    PostMessageW(g_pHost->m_hPump, kBoxOpenedMessage, reinterpret_cast<WPARAM>(message->hwnd), 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
