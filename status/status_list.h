// The values behind one explorer's status combo box: what the user posted before (the
// process's one CRememberedStatuses), three presets, what a media player is playing and the
// number of items in the Inbox. Live values are expanded when the list is built, so the text
// posted is exactly the text in the box.
//
// Threading: Outlook's main thread only. The now-playing text comes from the background
// runner as a copy; the session key is copied under the client's lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/hresult.h"

class CFacebookClient;
class CRememberedStatuses;
class ICommandBarComboBox;
class IOutlookApplication;

class CStatusList {
 public:
  // Empty, or "is listening to " with the artist and the title (the runner's GetNowPlaying).
  using NowPlayingSource = std::function<std::wstring()>;
  // Outlook's application with a reference, or a failure while there is none
  // (GetOutlookApplication).
  using ApplicationSource = std::function<HRESULT(std::shared_ptr<IOutlookApplication>*)>;

  // The collaborators must outlive the list.
  CStatusList(CRememberedStatuses& remembered, const CFacebookClient& client,
              NowPlayingSource nowPlaying, ApplicationSource application);

  // Records a posted text. `listIndex` is the box's ListIndex when it was posted: 0 for typed
  // text, 1-based for a chosen item. A chosen remembered value moves to the front; a chosen
  // preset or live value changes nothing and saves nothing. Saves the options otherwise.
  void Remember(std::int32_t listIndex, const std::wstring& text);
  // Brings the now-playing text, the Inbox count, the session key and the remembered values
  // up to date; true when the box must be rebuilt.
  bool RefreshLiveValues();
  // Rebuilds the box's list when RefreshLiveValues says so, keeping the text being typed:
  // remembered values (list indexes 1 to N), presets, now playing, the Inbox count.
  void FillComboBox(ICommandBarComboBox& comboBox);
  // Items in the Inbox, read or unread.
  HRESULT GetInboxItemCount(std::int32_t* count);

  std::wstring m_bstrNowPlayingItem;
  std::int32_t m_nInboxCount = 0;
  std::wstring m_bstrInboxText;     // "has %d messages in the Inbox"
  std::string m_strLastSessionKey;  // only to notice a login or a logout
  bool m_bChanged = true;           // a new box is filled at its first refresh

 private:
  CRememberedStatuses& m_remembered;
  // What the box shows of the remembered values: how many lead its list, and from which
  // generation of the process's list, so that a pick is read against what the user saw.
  std::size_t m_nShownValues = 0;
  std::uint64_t m_nShownGeneration = 0;
  const CFacebookClient& m_client;
  NowPlayingSource m_nowPlaying;
  ApplicationSource m_application;
};
