#include "platform/win32/itunes_now_playing_source.h"

#include "platform/win32/automation_call.h"
#include "platform/win32/win32_handles.h"

namespace {

// The application's dual interface, {9DD6680B-3EDC-40DB-A771-E6FE4832E34A}.
constexpr IID kIidITunes = {
    0x9dd6680b, 0x3edc, 0x40db, {0xa7, 0x71, 0xe6, 0xfe, 0x48, 0x32, 0xe3, 0x4a}};
constexpr long kPlayerStatePlaying = 1;

}  // namespace

HRESULT GetITunesTrack(std::wstring* title, std::wstring* artist) {
  if (title == nullptr || artist == nullptr) {
    return E_POINTER;
  }
  title->clear();
  artist->clear();
  if (FindWindowW(L"iTunes", L"iTunes") == nullptr) {
    return E_FAIL;
  }
  TComPtr<IUnknown> application;
  HRESULT hr = CoCreateInstance(kClsidITunesApp, nullptr, CLSCTX_LOCAL_SERVER, kIidITunes,
                                application.ReceiveVoid());
  if (FAILED(hr)) {
    return hr;
  }
  if (!application) {
    return E_FAIL;
  }
  // The interface is dual: its members are reached by name through its IDispatch.
  TComPtr<IDispatch> player;
  hr = application.As(IID_IDispatch, &player);
  if (FAILED(hr)) {
    return hr;
  }
  long state = 0;
  hr = GetLong(player.Get(), L"PlayerState", &state);
  if (FAILED(hr)) {
    return hr;
  }
  if (state != kPlayerStatePlaying) {
    return E_UNEXPECTED;
  }
  TComPtr<IDispatch> track;
  hr = GetObjectProperty(player.Get(), L"CurrentTrack", &track);
  if (FAILED(hr)) {
    return hr;
  }
  if (!track) {
    return E_FAIL;
  }
  // A failed read leaves its string empty; a track whose artist cannot be read still names
  // what plays.
  hr = GetString(track.Get(), L"Name", title);
  if (FAILED(hr)) {
    return hr;
  }
  return GetString(track.Get(), L"Artist", artist);
}
