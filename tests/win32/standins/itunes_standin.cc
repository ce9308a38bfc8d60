// A stand-in for iTunes in the tests' Wine prefix: a local COM server under the player's class
// id, whose application and track objects answer through IDispatch from the stand-in's type
// library, with a main window of class "iTunes" titled "iTunes". The window appears once the
// class is served, and closing it ends the program. What it plays is sent to that window as
// WM_COPYDATA text: "playing\nTitle\nArtist", or "paused"; at first it is stopped.
//
//   zenlet-itunes-standin.exe /RegServer   registers the class and the type library, then ends
//   zenlet-itunes-standin.exe              serves until its window is closed
//   zenlet-itunes-standin.exe --stdin      the same, for scripts: prints "ready" once served,
//                                          then takes one command a line of UTF-8 input
//                                          ("playing<TAB>Title<TAB>Artist", "paused"),
//                                          answering "ok" to each; the input's end closes it
#include <windows.h>
// After windows.h, whose types they need.
#include <oleauto.h>
#include <shellapi.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include "itunes_standin_idl.h"
#include "platform/win32/com_object.h"
#include "platform/win32/itunes_now_playing_source.h"
#include "platform/win32/win32_handles.h"
#include "tests/win32/standins/class_factory.h"

namespace {

constexpr long kStopped = 0;
constexpr long kPlaying = 1;

struct Playing {
  long nState = kStopped;
  std::wstring strTitle;
  std::wstring strArtist;
};
Playing g_playing;  // the main thread's alone: COM calls come in through its message loop

std::wstring ModulePath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

// IDispatch of `Interface` from its description in the type library.
template <typename Interface>
class TTypeLibDispatch : public TDispatchObject<Interface> {
 public:
  explicit TTypeLibDispatch(ITypeInfo* info)
      : TDispatchObject<Interface>(__uuidof(Interface)), m_spInfo(info) {}

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    *info = TComPtr<ITypeInfo>(m_spInfo).Detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    return DispGetIDsOfNames(m_spInfo.Get(), names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override {
    return DispInvoke(static_cast<Interface*>(this), m_spInfo.Get(), id, flags, parameters, result,
                      exception, argumentError);
  }

 private:
  TComPtr<ITypeInfo> m_spInfo;
};

BSTR BstrOrNull(const std::wstring& text) {
  return text.empty() ? nullptr : CBstr(text).Detach();
}

class CTrack : public TTypeLibDispatch<IStandInTrack> {
 public:
  CTrack(ITypeInfo* info, const Playing& playing)
      : TTypeLibDispatch(info), m_strName(playing.strTitle), m_strArtist(playing.strArtist) {}
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
    *name = BstrOrNull(m_strName);
    return S_OK;
  }
  // A track without an artist answers a null string, as an empty one may come.
  HRESULT STDMETHODCALLTYPE get_Artist(BSTR* artist) override {
    *artist = BstrOrNull(m_strArtist);
    return S_OK;
  }

 private:
  std::wstring m_strName;
  std::wstring m_strArtist;
};

class CPlayer : public TTypeLibDispatch<IStandInPlayer> {
 public:
  CPlayer(ITypeInfo* info, ITypeInfo* trackInfo)
      : TTypeLibDispatch(info), m_spTrackInfo(trackInfo) {}
  HRESULT STDMETHODCALLTYPE get_PlayerState(long* state) override {
    *state = g_playing.nState;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_CurrentTrack(IStandInTrack** track) override {
    *track = nullptr;
    if (!g_playing.strTitle.empty()) {
      TComPtr<IStandInTrack> held(new CTrack(m_spTrackInfo.Get(), g_playing));
      *track = held.Detach();
    }
    return S_OK;
  }

 private:
  TComPtr<ITypeInfo> m_spTrackInfo;
};

// A new application object (its interface `iid`) answering from `library`.
HRESULT MakePlayer(ITypeLib* library, REFIID iid, void** out) {
  TComPtr<ITypeInfo> playerInfo;
  TComPtr<ITypeInfo> trackInfo;
  HRESULT hr = library->GetTypeInfoOfGuid(__uuidof(IStandInPlayer), playerInfo.Receive());
  if (SUCCEEDED(hr)) {
    hr = library->GetTypeInfoOfGuid(__uuidof(IStandInTrack), trackInfo.Receive());
  }
  if (FAILED(hr)) {
    return hr;
  }
  TComPtr<IStandInPlayer> player(new CPlayer(playerInfo.Get(), trackInfo.Get()));
  return player->QueryInterface(iid, out);
}

// "playing\nTitle\nArtist" or "paused".
void Apply(const std::wstring& command) {
  const std::size_t first = command.find(L'\n');
  const std::wstring verb = command.substr(0, first);
  g_playing = Playing{};
  if (verb == L"playing" && first != std::wstring::npos) {
    const std::size_t second = command.find(L'\n', first + 1);
    g_playing.nState = kPlaying;
    g_playing.strTitle = command.substr(first + 1, second - first - 1);
    if (second != std::wstring::npos) {
      g_playing.strArtist = command.substr(second + 1);
    }
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    Apply(std::wstring(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t)));
    return TRUE;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int Register() {
  const std::wstring path = ModulePath();
  wchar_t classId[40] = {};
  StringFromGUID2(kClsidITunesApp, classId, 40);
  const std::wstring key = std::wstring(L"Software\\Classes\\CLSID\\") + classId;
  const std::wstring command = L"\"" + path + L"\"";
  if (RegSetKeyValueW(
          HKEY_LOCAL_MACHINE, (key + L"\\LocalServer32").c_str(), nullptr, REG_SZ, command.c_str(),
          static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS) {
    return 2;
  }
  TComPtr<ITypeLib> library;
  return SUCCEEDED(LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, library.Receive())) ? 0 : 3;
}

void SendCommand(HWND window, const std::wstring& command) {
  COPYDATASTRUCT data{};
  data.cbData = static_cast<DWORD>(command.size() * sizeof(wchar_t));
  data.lpData = const_cast<wchar_t*>(command.data());
  SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

// Commands from standard input to the window, on a thread of their own.
void ForwardInput(HWND window) {
  std::printf("ready\n");
  std::fflush(stdout);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    std::wstring command(line.size(), L'\0');
    command.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), command.data(),
                            static_cast<int>(command.size()))));
    for (wchar_t& c : command) {
      c = c == L'\t' ? L'\n' : c;
    }
    SendCommand(window, command);
    std::printf("ok\n");
    std::fflush(stdout);
  }
  PostMessageW(window, WM_CLOSE, 0, 0);
}

int Serve(bool bFromInput) {
  TComPtr<ITypeLib> library;
  if (FAILED(LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, library.Receive()))) {
    return 3;
  }
  TComPtr<IClassFactory> factory(new CFunctionClassFactory(
      [library](REFIID iid, void** out) { return MakePlayer(library.Get(), iid, out); }));
  DWORD cookie = 0;
  if (FAILED(CoRegisterClassObject(kClsidITunesApp, factory.Get(), CLSCTX_LOCAL_SERVER,
                                   REGCLS_MULTIPLEUSE, &cookie))) {
    return 4;
  }
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"iTunes";
  RegisterClassW(&windowClass);
  int result = 5;
  const HWND window = CreateWindowExW(0, L"iTunes", L"iTunes", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                      nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window != nullptr) {
    if (bFromInput) {
      std::thread(&ForwardInput, window).detach();  // ends with the process
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    result = 0;
  }
  CoRevokeClassObject(cookie);
  return result;
}

}  // namespace

int main() {
  CComApartment apartment;
  int count = 0;
  CLocalMemory arguments(CommandLineToArgvW(GetCommandLineW(), &count));
  auto** argv = static_cast<wchar_t**>(arguments.Get());
  if (count > 1 && lstrcmpiW(argv[1], L"/RegServer") == 0) {
    return Register();
  }
  return Serve(count > 1 && lstrcmpW(argv[1], L"--stdin") == 0);
}
