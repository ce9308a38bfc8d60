// Stand-ins of the media players for the Windows tests under Wine, each put in place by the
// test in its own prefix or process and removed with the object:
// - CITunesStandIn: the iTunes stand-in program, registered in the prefix under the player's
//   class id with its type library, running with its window, told what to play;
// - CTopLevelWindow: a hidden top-level window of a given class, as a player's main window;
// - CClassOverride: a class object of the test's own for a class id, in this apartment;
// - CStandInPlayerControl (MakeStandInPlayerControl): a player control that plays only for a
//   container whose services declare remote hosting, and records what it was told.
// Tests that use them share the CTest resource lock "media_players": the windows and classes
// are seen by every program in the prefix.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/win32/win32_handles.h"

class CITunesStandIn {
 public:
  // Registers the stand-in (once per process), starts it and waits for its window.
  CITunesStandIn();
  // Closes its window and waits for it to end.
  ~CITunesStandIn();
  CITunesStandIn(const CITunesStandIn&) = delete;
  CITunesStandIn& operator=(const CITunesStandIn&) = delete;

  // Whether its window came; the other calls fail when not.
  bool Started() const { return m_hWindow != nullptr; }
  // What it answers from now on; an empty artist is a track without one.
  bool Play(const std::wstring& title, const std::wstring& artist);
  bool Pause();

 private:
  bool Send(const std::wstring& command);

  CKernelHandle m_process;
  HWND m_hWindow = nullptr;
};

class CTopLevelWindow {
 public:
  explicit CTopLevelWindow(const wchar_t* className);
  ~CTopLevelWindow();
  CTopLevelWindow(const CTopLevelWindow&) = delete;
  CTopLevelWindow& operator=(const CTopLevelWindow&) = delete;

  HWND Get() const { return m_hWindow; }

 private:
  HWND m_hWindow = nullptr;
};

// While it lives, creating class `clsid` in `context` from this apartment calls `create`
// instead of the registered server, and is counted.
class CClassOverride {
 public:
  using Create = std::function<HRESULT(REFIID iid, void** out)>;
  CClassOverride(const CLSID& clsid, DWORD context, Create create);
  ~CClassOverride();
  CClassOverride(const CClassOverride&) = delete;
  CClassOverride& operator=(const CClassOverride&) = delete;

  bool Registered() const { return m_dwCookie != 0; }
  int Creations() const { return *m_pCreations; }

 private:
  std::shared_ptr<int> m_pCreations = std::make_shared<int>(0);
  DWORD m_dwCookie = 0;
};

// What a stand-in player control is set to play, and what it was told by its container.
struct StandInPlayerRecord {
  bool bPlaying = false;
  std::wstring strTitle;
  std::wstring strArtist;

  std::wstring strServiceType;      // the container's remote services, when it had any
  std::wstring strApplicationName;  // the name they gave
  std::wstring strUiMode;           // last set
  int nControlsAlive = 0;
  int nSitesHeld = 0;  // client sites the controls still hold
  int nClosed = 0;     // IOleObject::Close calls
};

// A new player control (its IUnknown) reporting to `record`. It plays (state 3 and the
// record's track) only when its client site's services declared "Remote" hosting; paused
// (state 2) when the record is not playing; stopped (state 1) without remote hosting.
HRESULT MakeStandInPlayerControl(const std::shared_ptr<StandInPlayerRecord>& record, REFIID iid,
                                 void** out);
