#include "tests/win32/standins/player_standins.h"

// After windows.h, whose types they need.
#include <oleidl.h>
#include <servprov.h>
#include <wmp.h>

#include "platform/win32/com_object.h"
#include "tests/win32/standins/class_factory.h"

namespace {

// The build's path of the stand-in program, as Wine's drive Z: shows the Linux file system.
std::wstring StandInPath() {
  std::wstring path = L"Z:";
  for (const char c : std::string(ZENLET_ITUNES_STANDIN_PATH)) {
    path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
  }
  return path;
}

CKernelHandle Start(const std::wstring& arguments) {
  std::wstring command = L"\"" + StandInPath() + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return {};
  }
  CloseHandle(process.hThread);
  return CKernelHandle(process.hProcess);
}

bool RegisterITunesStandIn() {
  CKernelHandle process = Start(L"/RegServer");
  DWORD code = 1;
  return process && WaitForSingleObject(process.Get(), 30000) == WAIT_OBJECT_0 &&
         GetExitCodeProcess(process.Get(), &code) && code == 0;
}

// The stubs of the interface members the add-in never calls.
#define STANDIN_NOT_CALLED(member, ...)                    \
  HRESULT STDMETHODCALLTYPE member(__VA_ARGS__) override { \
    return E_NOTIMPL;                                      \
  }
#define STANDIN_NO_TYPE_INFO                                                \
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {        \
    *count = 0;                                                             \
    return S_OK;                                                            \
  }                                                                         \
  STANDIN_NOT_CALLED(GetTypeInfo, UINT, LCID, ITypeInfo**)                  \
  STANDIN_NOT_CALLED(GetIDsOfNames, REFIID, LPOLESTR*, UINT, LCID, DISPID*) \
  STANDIN_NOT_CALLED(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)

class CStandInMedia : public TComObject<IWMPMedia> {
 public:
  explicit CStandInMedia(const StandInPlayerRecord& record)
      : m_strTitle(record.strTitle), m_strArtist(record.strArtist) {}

  HRESULT STDMETHODCALLTYPE getItemInfo(BSTR name, BSTR* value) override {
    const std::wstring item = name != nullptr ? name : L"";
    *value = CBstr(item == L"Title" ? m_strTitle : item == L"Artist" ? m_strArtist : L"").Detach();
    return S_OK;
  }

  STANDIN_NO_TYPE_INFO
  STANDIN_NOT_CALLED(get_isIdentical, IWMPMedia*, VARIANT_BOOL*)
  STANDIN_NOT_CALLED(get_sourceURL, BSTR*)
  STANDIN_NOT_CALLED(get_name, BSTR*)
  STANDIN_NOT_CALLED(put_name, BSTR)
  STANDIN_NOT_CALLED(get_imageSourceWidth, LONG*)
  STANDIN_NOT_CALLED(get_imageSourceHeight, LONG*)
  STANDIN_NOT_CALLED(get_markerCount, LONG*)
  STANDIN_NOT_CALLED(getMarkerTime, LONG, double*)
  STANDIN_NOT_CALLED(getMarkerName, LONG, BSTR*)
  STANDIN_NOT_CALLED(get_duration, double*)
  STANDIN_NOT_CALLED(get_durationString, BSTR*)
  STANDIN_NOT_CALLED(get_attributeCount, LONG*)
  STANDIN_NOT_CALLED(getAttributeName, LONG, BSTR*)
  STANDIN_NOT_CALLED(setItemInfo, BSTR, BSTR)
  STANDIN_NOT_CALLED(getItemInfoByAtom, LONG, BSTR*)
  STANDIN_NOT_CALLED(isMemberOf, IWMPPlaylist*, VARIANT_BOOL*)
  STANDIN_NOT_CALLED(isReadOnlyItem, BSTR, VARIANT_BOOL*)

 private:
  void* InterfaceFor(REFIID iid) override {
    return IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
                   IsEqualIID(iid, __uuidof(IWMPMedia))
               ? static_cast<IWMPMedia*>(this)
               : nullptr;
  }

  std::wstring m_strTitle;
  std::wstring m_strArtist;
};

class CStandInPlayerControl : public TComObject<IOleObject, IWMPPlayer4> {
 public:
  explicit CStandInPlayerControl(std::shared_ptr<StandInPlayerRecord> record)
      : m_pRecord(std::move(record)) {
    ++m_pRecord->nControlsAlive;
  }
  ~CStandInPlayerControl() override { --m_pRecord->nControlsAlive; }

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
    m_pRecord->nSitesHeld += (site != nullptr ? 1 : 0) - (m_spSite ? 1 : 0);
    m_spSite = TComPtr<IOleClientSite>(site);
    m_bRemote = false;
    TComPtr<IServiceProvider> services;
    TComPtr<IWMPRemoteMediaServices> remote;
    if (FAILED(m_spSite.As(IID_IServiceProvider, &services)) ||
        FAILED(services->QueryService(__uuidof(IWMPRemoteMediaServices),
                                      __uuidof(IWMPRemoteMediaServices), remote.ReceiveVoid()))) {
      return S_OK;
    }
    CBstr type;
    CBstr name;
    remote->GetServiceType(type.Receive());
    remote->GetApplicationName(name.Receive());
    m_pRecord->strServiceType = type.Text();
    m_pRecord->strApplicationName = name.Text();
    m_bRemote = type.Text() == L"Remote";
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
    *site = TComPtr<IOleClientSite>(m_spSite).Detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close(DWORD) override {
    ++m_pRecord->nClosed;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override {
    *status = OLEMISC_SETCLIENTSITEFIRST;
    return S_OK;
  }
  STANDIN_NOT_CALLED(SetHostNames, LPCOLESTR, LPCOLESTR)
  STANDIN_NOT_CALLED(SetMoniker, DWORD, IMoniker*)
  STANDIN_NOT_CALLED(GetMoniker, DWORD, DWORD, IMoniker**)
  STANDIN_NOT_CALLED(InitFromData, IDataObject*, BOOL, DWORD)
  STANDIN_NOT_CALLED(GetClipboardData, DWORD, IDataObject**)
  STANDIN_NOT_CALLED(EnumVerbs, IEnumOLEVERB**)
  STANDIN_NOT_CALLED(Update)
  STANDIN_NOT_CALLED(IsUpToDate)
  STANDIN_NOT_CALLED(GetUserClassID, CLSID*)
  STANDIN_NOT_CALLED(GetUserType, DWORD, LPOLESTR*)
  STANDIN_NOT_CALLED(SetExtent, DWORD, SIZEL*)
  STANDIN_NOT_CALLED(GetExtent, DWORD, SIZEL*)
  STANDIN_NOT_CALLED(Advise, IAdviseSink*, DWORD*)
  STANDIN_NOT_CALLED(Unadvise, DWORD)
  STANDIN_NOT_CALLED(EnumAdvise, IEnumSTATDATA**)
  STANDIN_NOT_CALLED(SetColorScheme, LOGPALETTE*)

  // IWMPPlayer4
  HRESULT STDMETHODCALLTYPE put_uiMode(BSTR mode) override {
    m_pRecord->strUiMode = mode != nullptr ? mode : L"";
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_playState(WMPPlayState* state) override {
    *state = !m_bRemote ? wmppsStopped : m_pRecord->bPlaying ? wmppsPlaying : wmppsPaused;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_currentMedia(IWMPMedia** media) override {
    *media = TComPtr<IWMPMedia>(new CStandInMedia(*m_pRecord)).Detach();
    return S_OK;
  }
  STANDIN_NO_TYPE_INFO
  STANDIN_NOT_CALLED(close)
  STANDIN_NOT_CALLED(get_URL, BSTR*)
  STANDIN_NOT_CALLED(put_URL, BSTR)
  STANDIN_NOT_CALLED(get_openState, WMPOpenState*)
  STANDIN_NOT_CALLED(get_controls, IWMPControls**)
  STANDIN_NOT_CALLED(get_settings, IWMPSettings**)
  STANDIN_NOT_CALLED(put_currentMedia, IWMPMedia*)
  STANDIN_NOT_CALLED(get_mediaCollection, IWMPMediaCollection**)
  STANDIN_NOT_CALLED(get_playlistCollection, IWMPPlaylistCollection**)
  STANDIN_NOT_CALLED(get_versionInfo, BSTR*)
  STANDIN_NOT_CALLED(launchURL, BSTR)
  STANDIN_NOT_CALLED(get_network, IWMPNetwork**)
  STANDIN_NOT_CALLED(get_currentPlaylist, IWMPPlaylist**)
  STANDIN_NOT_CALLED(put_currentPlaylist, IWMPPlaylist*)
  STANDIN_NOT_CALLED(get_cdromCollection, IWMPCdromCollection**)
  STANDIN_NOT_CALLED(get_closedCaption, IWMPClosedCaption**)
  STANDIN_NOT_CALLED(get_isOnline, VARIANT_BOOL*)
  STANDIN_NOT_CALLED(get_Error, IWMPError**)
  STANDIN_NOT_CALLED(get_status, BSTR*)
  STANDIN_NOT_CALLED(get_dvd, IWMPDVD**)
  STANDIN_NOT_CALLED(newPlaylist, BSTR, BSTR, IWMPPlaylist**)
  STANDIN_NOT_CALLED(newMedia, BSTR, IWMPMedia**)
  STANDIN_NOT_CALLED(get_enabled, VARIANT_BOOL*)
  STANDIN_NOT_CALLED(put_enabled, VARIANT_BOOL)
  STANDIN_NOT_CALLED(get_fullScreen, VARIANT_BOOL*)
  STANDIN_NOT_CALLED(put_fullScreen, VARIANT_BOOL)
  STANDIN_NOT_CALLED(get_enableContextMenu, VARIANT_BOOL*)
  STANDIN_NOT_CALLED(put_enableContextMenu, VARIANT_BOOL)
  STANDIN_NOT_CALLED(get_uiMode, BSTR*)
  STANDIN_NOT_CALLED(get_stretchToFit, VARIANT_BOOL*)
  STANDIN_NOT_CALLED(put_stretchToFit, VARIANT_BOOL)
  STANDIN_NOT_CALLED(get_windowlessVideo, VARIANT_BOOL*)
  STANDIN_NOT_CALLED(put_windowlessVideo, VARIANT_BOOL)
  STANDIN_NOT_CALLED(get_isRemote, VARIANT_BOOL*)
  STANDIN_NOT_CALLED(get_playerApplication, IWMPPlayerApplication**)
  STANDIN_NOT_CALLED(openPlayer, BSTR)

 private:
  void* InterfaceFor(REFIID iid) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleObject)) {
      return static_cast<IOleObject*>(this);
    }
    if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, __uuidof(IWMPCore)) ||
        IsEqualIID(iid, __uuidof(IWMPCore2)) || IsEqualIID(iid, __uuidof(IWMPCore3)) ||
        IsEqualIID(iid, __uuidof(IWMPPlayer4))) {
      return static_cast<IWMPPlayer4*>(this);
    }
    return nullptr;
  }

  std::shared_ptr<StandInPlayerRecord> m_pRecord;
  TComPtr<IOleClientSite> m_spSite;
  bool m_bRemote = false;
};

}  // namespace

CITunesStandIn::CITunesStandIn() {
  static const bool bRegistered = RegisterITunesStandIn();
  if (!bRegistered) {
    return;
  }
  m_process = Start(L"");
  for (int tries = 0; m_process && tries < 200 && m_hWindow == nullptr; ++tries) {
    m_hWindow = FindWindowW(L"iTunes", L"iTunes");
    if (m_hWindow == nullptr) {
      Sleep(50);
    }
  }
}

CITunesStandIn::~CITunesStandIn() {
  if (m_hWindow != nullptr) {
    PostMessageW(m_hWindow, WM_CLOSE, 0, 0);
  }
  if (m_process && WaitForSingleObject(m_process.Get(), 10000) != WAIT_OBJECT_0) {
    TerminateProcess(m_process.Get(), 1);
  }
}

bool CITunesStandIn::Play(const std::wstring& title, const std::wstring& artist) {
  return Send(L"playing\n" + title + L"\n" + artist);
}

bool CITunesStandIn::Pause() {
  return Send(L"paused");
}

bool CITunesStandIn::Send(const std::wstring& command) {
  if (m_hWindow == nullptr) {
    return false;
  }
  COPYDATASTRUCT data{};
  data.cbData = static_cast<DWORD>(command.size() * sizeof(wchar_t));
  data.lpData = const_cast<wchar_t*>(command.data());
  DWORD_PTR answer = 0;
  return SendMessageTimeoutW(m_hWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                             SMTO_ABORTIFHUNG, 5000, &answer) != 0 &&
         answer == TRUE;
}

CTopLevelWindow::CTopLevelWindow(const wchar_t* className) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassW(&windowClass);  // once per process; later calls find it there
  m_hWindow = CreateWindowExW(0, className, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                              nullptr, windowClass.hInstance, nullptr);
}

CTopLevelWindow::~CTopLevelWindow() {
  if (m_hWindow != nullptr) {
    DestroyWindow(m_hWindow);
  }
}

CClassOverride::CClassOverride(const CLSID& clsid, DWORD context, Create create) {
  TComPtr<IClassFactory> factory(new CFunctionClassFactory(
      [create = std::move(create), creations = m_pCreations](REFIID iid, void** out) {
        ++*creations;
        return create(iid, out);
      }));
  if (FAILED(
          CoRegisterClassObject(clsid, factory.Get(), context, REGCLS_MULTIPLEUSE, &m_dwCookie))) {
    m_dwCookie = 0;
  }
}

CClassOverride::~CClassOverride() {
  if (m_dwCookie != 0) {
    CoRevokeClassObject(m_dwCookie);
  }
}

HRESULT MakeStandInPlayerControl(const std::shared_ptr<StandInPlayerRecord>& record, REFIID iid,
                                 void** out) {
  TComPtr<IOleObject> control(new CStandInPlayerControl(record));
  return control->QueryInterface(iid, out);
}
