// The values behind one explorer's status combo box: what the user posted before (newest
// first, at most 20, kept in the options), three presets, what a media player is playing and
// the number of items in the Inbox. Live values are expanded when the list is built, so the
// text posted is exactly the text in the box.
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
class CFBOpts;
class ICommandBarComboBox;
class IOutlookApplication;

class CStatusList {
 public:
  // Empty, or "is listening to " with the artist and the title (the runner's GetNowPlaying).
  using NowPlayingSource = std::function<std::wstring()>;
  // Outlook's application with a reference, or a failure while there is none
  // (GetOutlookApplication).
  using ApplicationSource = std::function<HRESULT(std::shared_ptr<IOutlookApplication>*)>;

  static constexpr std::size_t kMostRemembered = 20;

  // The collaborators must outlive the list.
  CStatusList(CFBOpts& options, const CFacebookClient& client, NowPlayingSource nowPlaying,
              ApplicationSource application);

  // Takes the remembered values from the options, in stored order, skipping empty ones.
  void LoadFromOptions();
  // Records a posted text. `listIndex` is the box's ListIndex when it was posted: 0 for typed
  // text, 1-based for a chosen item. A chosen remembered value moves to the front; a chosen
  // preset or live value changes nothing and saves nothing. Saves the options otherwise.
  void Remember(std::int32_t listIndex, const std::wstring& text);
  // Writes the remembered values into the options and saves them (a failure is ignored).
  void SaveToOptions();
  // Brings the now-playing text, the Inbox count and the session key up to date; true when
  // the box must be rebuilt.
  bool RefreshLiveValues();
  // Rebuilds the box's list when RefreshLiveValues says so, keeping the text being typed:
  // remembered values (list indexes 1 to N), presets, now playing, the Inbox count.
  void FillComboBox(ICommandBarComboBox& comboBox);
  // Items in the Inbox, read or unread.
  HRESULT GetInboxItemCount(std::int32_t* count);

  std::vector<std::wstring> m_aValues;  // index 0 = most recently posted
  std::wstring m_bstrNowPlayingItem;
  std::int32_t m_nInboxCount = 0;
  std::wstring m_bstrInboxText;     // "has %d messages in the Inbox"
  std::string m_strLastSessionKey;  // only to notice a login or a logout
  bool m_bChanged = false;

 private:
  CFBOpts& m_options;
  const CFacebookClient& m_client;
  NowPlayingSource m_nowPlaying;
  ApplicationSource m_application;
};
