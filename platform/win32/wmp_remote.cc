#include "platform/win32/wmp_remote.h"

#include <new>

#include "resources/string_table.h"

// This module's own base address: the DLL's, or the program's when linked in.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// `text` as a new BSTR in `out`; E_POINTER for a null `out`.
HRESULT NewBstr(const std::wstring& text, BSTR* out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = CBstr(text).Detach();
  return S_OK;
}

std::wstring ItemInfo(IWMPMedia* media, const wchar_t* attribute) {
  CBstr name(attribute);
  CBstr value;
  if (FAILED(media->getItemInfo(name.Get(), value.Receive()))) {
    return {};
  }
  return value.Text();
}

}  // namespace

namespace morvane {

void* CRemoteHost::InterfaceFor(REFIID iid) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IServiceProvider)) {
    return static_cast<IServiceProvider*>(this);
  }
  if (IsEqualIID(iid, __uuidof(IWMPRemoteMediaServices))) {
    return static_cast<IWMPRemoteMediaServices*>(this);
  }
  return nullptr;
}

HRESULT CRemoteHost::QueryService(REFGUID, REFIID iid, void** out) {
  return out == nullptr ? E_POINTER : QueryInterface(iid, out);
}

HRESULT CRemoteHost::GetServiceType(BSTR* type) {
  return NewBstr(L"Remote", type);
}

HRESULT CRemoteHost::GetApplicationName(BSTR* name) {
  const std::wstring text = LoadText(IDS_PRODUCT_TITLE);
  return text.empty() ? E_POINTER : NewBstr(text, name);
}

HRESULT CRemoteHost::GetScriptableObject(BSTR* name, IDispatch** object) {
  if (name != nullptr) {
    *name = nullptr;
  }
  if (object != nullptr) {
    *object = nullptr;
  }
  return E_NOTIMPL;
}

HRESULT CRemoteHost::GetCustomUIMode(BSTR* file) {
  if (file != nullptr) {
    *file = nullptr;
  }
  return E_NOTIMPL;
}

INT_PTR CWMPRemote::DoModal(HWND owner) {
  return DialogBoxParamW(reinterpret_cast<HINSTANCE>(&__ImageBase),
                         MAKEINTRESOURCEW(IDD_PLAYER_HOST), owner, &CWMPRemote::DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

void CWMPRemote::TakeTrack(std::wstring* title, std::wstring* artist) {
  *title = std::move(m_strTitle);
  *artist = std::move(m_strArtist);
  m_strTitle.clear();
  m_strArtist.clear();
}

INT_PTR CALLBACK CWMPRemote::DialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) {
    return FALSE;
  }
  auto* remote = reinterpret_cast<CWMPRemote*>(lParam);
  try {
    remote->ReadTrack(dialog);
  } catch (const std::bad_alloc&) {
    // No memory for the track: it goes unread, like any other failure here.
    remote->m_strTitle.clear();
    remote->m_strArtist.clear();
  }
  remote->ReleaseAll();
  EndDialog(dialog, 0);
  return TRUE;
}

void CWMPRemote::ReadTrack(HWND dialog) {
  const RECT corner{0, 0, 1, 1};
  m_spHost = CControlHost::Create(dialog, WS_EX_CLIENTEDGE, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                  corner);
  if (!m_spHost) {
    return;
  }
  TComPtr<IObjectWithSite> siteHolder;
  if (FAILED(m_spHost.As(IID_IObjectWithSite, &siteHolder))) {
    return;
  }
  TComPtr<CRemoteHost> remoteHost(new CRemoteHost);
  IServiceProvider* const services = remoteHost.Get();
  if (FAILED(siteHolder->SetSite(services)) ||
      FAILED(m_spHost->CreateControl(kPlayerControlClass)) ||
      FAILED(m_spHost->QueryControl(__uuidof(IWMPPlayer4), m_spPlayer.ReceiveVoid())) ||
      !m_spPlayer) {
    return;
  }
  CBstr invisible(L"invisible");
  WMPPlayState state = wmppsUndefined;
  if (FAILED(m_spPlayer->put_uiMode(invisible.Get())) ||
      FAILED(m_spPlayer->get_playState(&state)) || state != wmppsPlaying) {
    return;
  }
  TComPtr<IWMPMedia> media;
  if (FAILED(m_spPlayer->get_currentMedia(media.Receive())) || !media) {
    return;
  }
  m_strTitle = ItemInfo(media.Get(), L"Title");
  m_strArtist = ItemInfo(media.Get(), L"Artist");
}

void CWMPRemote::ReleaseAll() {
  m_spPlayer.Reset();
  if (m_spHost) {
    m_spHost->Destroy();
    m_spHost.Reset();
  }
}

}  // namespace morvane

HRESULT GetWmpTrack(std::wstring* title, std::wstring* artist) {
  if (title == nullptr || artist == nullptr) {
    return E_POINTER;
  }
  title->clear();
  artist->clear();
  if (FindWindowW(L"WMPlayerApp", nullptr) == nullptr) {
    return E_FAIL;
  }
  morvane::CWMPRemote remote;
  if (remote.DoModal(GetActiveWindow()) == -1) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
  }
  remote.TakeTrack(title, artist);
  return S_OK;
}
