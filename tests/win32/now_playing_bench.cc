// What one now-playing query costs the worker, every 5 seconds while logged in: both sources
// with no player running (the common case), and Windows Media Player's when only its window
// is there (the hidden dialog and Wine's own control, created and released on every query).
//
//   run-under-wine zenlet_now_playing_bench.exe [QUERIES]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/itunes_now_playing_source.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/wmp_remote.h"

namespace {

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <typename Query>
void Measure(const char* what, int queries, Query query) {
  std::wstring title;
  std::wstring artist;
  query(&title, &artist);  // the first one loads what the later ones find loaded
  LARGE_INTEGER start;
  LARGE_INTEGER end;
  QueryPerformanceCounter(&start);
  for (int i = 0; i < queries; ++i) {
    query(&title, &artist);
  }
  QueryPerformanceCounter(&end);
  std::printf("%-44s %10.1f us per query (%d queries)\n", what, Seconds(start, end) * 1e6 / queries,
              queries);
}

}  // namespace

int main(int argc, char** argv) {
  const int queries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
  CComApartment apartment;
  Measure("no player: iTunes then Windows Media Player", queries,
          [](std::wstring* title, std::wstring* artist) {
            GetITunesTrack(title, artist);
            GetWmpTrack(title, artist);
          });

  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"WMPlayerApp";
  RegisterClassW(&windowClass);
  const HWND window = CreateWindowExW(0, L"WMPlayerApp", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                      nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) {
    std::printf("no window could be made (is the null display driver set?)\n");
    return 1;
  }
  Measure("player window only: Windows Media Player", std::max(1, queries / 20), &GetWmpTrack);
  DestroyWindow(window);
  return 0;
}
