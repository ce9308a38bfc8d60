// The now-playing source of Windows Media Player: while the player's main window exists, a
// player control is hosted in a hidden dialog whose site declares itself a remote host, so
// that the control attaches to the running player, and is asked for the current media's
// title and artist.
//
// Threading: on a thread in a single-threaded COM apartment (the worker's); the dialog runs
// its own message loop there while the control is made. Every call builds and destroys its
// own dialog, host window, site and control; nothing is kept between calls.
#pragma once

#include <windows.h>
// After windows.h, whose types they need.
#include <servprov.h>
#include <wmp.h>

#include <string>

#include "platform/now_playing_source.h"
#include "platform/win32/com_object.h"
#include "platform/win32/control_host.h"
#include "platform/win32/player_host_dialog.h"
#include "platform/win32/win32_handles.h"

// The Windows Media Player control's class.
inline constexpr wchar_t kPlayerControlClass[] = L"{6BF52A52-394A-11d3-B153-00C04F79FAA6}";

namespace morvane {

// What the player control finds when it asks its container for services: remote hosting
// under the add-in's name.
class CRemoteHost : public TComObject<IServiceProvider, IWMPRemoteMediaServices> {
 public:
  // Answers with this object's own interfaces, whatever the service asked for.
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** out) override;
  // "Remote".
  HRESULT STDMETHODCALLTYPE GetServiceType(BSTR* type) override;
  // The add-in's display name (string 100); E_POINTER when there is no such string.
  HRESULT STDMETHODCALLTYPE GetApplicationName(BSTR* name) override;
  HRESULT STDMETHODCALLTYPE GetScriptableObject(BSTR* name, IDispatch** object) override;
  HRESULT STDMETHODCALLTYPE GetCustomUIMode(BSTR* file) override;

 private:
  void* InterfaceFor(REFIID iid) override;
};

// The hidden dialog: on WM_INITDIALOG it places the control, reads the track, releases it
// all and ends, so it is never shown.
class CWMPRemote {
 public:
  // Runs the dialog, owned by `owner`; -1 when it could not be made.
  INT_PTR DoModal(HWND owner);
  // Moves the track read (empty unless the player was playing) to the caller.
  void TakeTrack(std::wstring* title, std::wstring* artist);

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  void ReadTrack(HWND dialog);
  void ReleaseAll();

  TComPtr<CControlHost> m_spHost;
  TComPtr<IWMPPlayer4> m_spPlayer;
  std::wstring m_strTitle;
  std::wstring m_strArtist;
};

}  // namespace morvane

// Sets the title and the artist of what Windows Media Player is playing; both empty unless
// it plays. E_FAIL at once without a window of class "WMPlayerApp"; S_OK once the dialog
// ran, whether or not anything was read; the dialog's creation error when it could not be
// made. E_POINTER for a null pointer.
HRESULT GetWmpTrack(std::wstring* title, std::wstring* artist);

class CWmpNowPlayingSource : public INowPlayingSource {
 public:
  HRESULT GetTrack(std::wstring* title, std::wstring* artist) override {
    return GetWmpTrack(title, artist);
  }
};
