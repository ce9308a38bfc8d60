#include "tools/com_outlook/com_addin.h"

#include <oleauto.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>

#include "addin/module_state.h"
#include "platform/win32/module/zenlet_ids.h"
#include "tools/zenlet/driver_events.h"
#include "zenlet_idl.h"

namespace {

// The threads of this process now.
std::set<DWORD> ProcessThreads() {
  std::set<DWORD> threads;
  CKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot || snapshot.Get() == INVALID_HANDLE_VALUE) {
    return threads;
  }
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot.Get(), &entry); more;
       more = Thread32Next(snapshot.Get(), &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) {
      threads.insert(entry.th32ThreadID);
    }
  }
  return threads;
}

bool IsRunning(DWORD thread) {
  CKernelHandle handle(OpenThread(SYNCHRONIZE, FALSE, thread));
  return handle && WaitForSingleObject(handle.Get(), 0) == WAIT_TIMEOUT;
}

// The custom argument Outlook passes: an empty array of VARIANTs.
class CCustomArgument {
 public:
  CCustomArgument() : m_pArray(SafeArrayCreateVector(VT_VARIANT, 0, 0)) {}
  ~CCustomArgument() { SafeArrayDestroy(m_pArray); }
  CCustomArgument(const CCustomArgument&) = delete;
  CCustomArgument& operator=(const CCustomArgument&) = delete;
  SAFEARRAY** Get() { return &m_pArray; }

 private:
  SAFEARRAY* m_pArray;
};

class CStopwatch {
 public:
  CStopwatch() { QueryPerformanceCounter(&m_start); }
  double Ms() const {
    LARGE_INTEGER now{};
    LARGE_INTEGER frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - m_start.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
  }

 private:
  LARGE_INTEGER m_start{};
};

}  // namespace

CComAddin::CComAddin(CSimOutlook& outlook, std::shared_ptr<CAutomationContext> context,
                     std::wstring progId)
    : m_outlook(outlook), m_spContext(std::move(context)), m_strProgId(std::move(progId)) {}

CComAddin::~CComAddin() = default;

bool CComAddin::Create(std::string* error) {
  CLSID clsid{};
  HRESULT hr = CLSIDFromProgID(m_strProgId.c_str(), &clsid);
  if (FAILED(hr)) {
    *error =
        "the class is not registered by its ProgID (regsvr32 the DLL, and mirror the user's "
        "classes where the machine's are read)";
    return false;
  }
  TComPtr<IUnknown> object;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.ReceiveVoid());
  if (SUCCEEDED(hr)) {
    hr = object->QueryInterface(kIidDtExtensibility2, m_spAddin.ReceiveVoid());
  }
  if (FAILED(hr)) {
    char text[64];
    std::snprintf(text, sizeof text, "the add-in could not be created (0x%08lx)",
                  static_cast<unsigned long>(hr));
    *error = text;
    return false;
  }
  m_spApplication =
      TComPtr<IDispatch>::Adopt(NewApplicationObject(m_spContext, m_outlook.Application()));
  m_spAddInInstance = TComPtr<IDispatch>::Adopt(NewAddInObject(m_spContext, m_strProgId));
  return true;
}

void CComAddin::Connect(int mode) {
  CCustomArgument custom;
  const CStopwatch watch;
  m_spAddin->OnConnection(m_spApplication.Get(), static_cast<ext_ConnectMode>(mode),
                          m_spAddInInstance.Get(), custom.Get());
  m_connectionMs = watch.Ms();
}

void CComAddin::Disconnect(int mode) {
  CCustomArgument custom;
  const CStopwatch watch;
  m_spAddin->OnDisconnection(static_cast<ext_DisconnectMode>(mode), custom.Get());
  m_disconnectionMs = watch.Ms();
}

void CComAddin::ConnectAtStartup() {
  const std::set<DWORD> before = ProcessThreads();
  Connect();
  CCustomArgument custom;
  m_spAddin->OnStartupComplete(custom.Get());
  for (DWORD thread : ProcessThreads()) {
    if (before.count(thread) == 0) {
      m_addinThreads.insert(thread);
    }
  }
}

bool CComAddin::ShutsDownFast() const {
  std::wstring version;
  m_outlook.Application()->GetVersion(&version);
  return ParseMajorVersion(version) >= 14;
}

void CComAddin::ShutDown() {
  if (ShutsDownFast()) {
    return;
  }
  CCustomArgument custom;
  m_spAddin->OnBeginShutdown(custom.Get());
  Disconnect();
  m_spAddin.Reset();
  CoFreeUnusedLibraries();
}

void CComAddin::SwitchOff() { Disconnect(kDisconnectByUser); }

void CComAddin::SwitchOn() { Connect(kConnectAfterStartup); }

int CComAddin::ThreadsLeft() const {
  int running = 0;
  for (DWORD thread : m_addinThreads) {
    running += IsRunning(thread) ? 1 : 0;
  }
  return running;
}

void CComAddin::ReleaseOutlooksReferences() {
  m_spApplication.Reset();
  m_spAddInInstance.Reset();
  // An Outlook that shuts down fast ends its process without releasing the add-in.
  m_spAddin.Detach();
}

bool CComAddin::IsLoggedIn() {
  for (const SimExplorerInfo& explorer : m_outlook.Explorers()) {
    const std::optional<SimBarState> bar =
        explorer.bOpen ? m_outlook.ReadBar(explorer.nNumber, kZenletBarName) : std::nullopt;
    if (!bar) {
      continue;
    }
    const ZenletBarLayout layout = FindZenletControls(*bar);
    if (layout.nMenu == 0) {
      continue;
    }
    const std::vector<SimControlState>& items =
        bar->aControls[static_cast<std::size_t>(layout.nMenu - 1)].aMenu;
    constexpr int kLogoutId = 3;
    const auto logout = static_cast<std::size_t>(
        std::find(std::begin(kMenuCommandIds), std::end(kMenuCommandIds), kLogoutId) -
        std::begin(kMenuCommandIds));
    return logout < items.size() && items[logout].bVisible;
  }
  return false;
}
