#include <windows.h>

#include <random>

#include "platform/silent_now_playing_source.h"
#include "platform/win32/dpapi_data_protector.h"
#include "platform/win32/msxml_parser.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_log_backend.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_thread_hooks.h"
#include "tests/platform/native_adapters.h"

const char* NativePlatformName() {
  return "Win32";
}

std::unique_ptr<IClock> MakeNativeClock() {
  return std::make_unique<CWin32Clock>();
}

std::unique_ptr<IFileSystem> MakeNativeFileSystem() {
  return std::make_unique<CWin32FileSystem>();
}

bool IsAbsoluteNativePath(const std::wstring& path) {
  return (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
         path.rfind(L"\\\\", 0) == 0;
}

std::unique_ptr<IThreadHooks> MakeNativeThreadHooks() {
  return std::make_unique<CWin32ThreadHooks>();
}

std::unique_ptr<INowPlayingSource> MakeNativeNowPlayingSource() {
  return std::make_unique<CSilentNowPlayingSource>();
}

NativeXmlParser NativeXml() {
  return {"Msxml3", [] { return std::make_unique<CMsxmlParser>(); }};
}

NativeRegistryStore MakeNativeRegistryStore(const std::string&, CLogger&) {
  // A scratch key of the test's own below HKEY_CURRENT_USER stands for the user's root.
  std::random_device seed;
  const std::wstring scratch = L"Software\\Morvane.com\\ZenletTests\\" +
                               std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(seed());
  NativeRegistryStore store;
  store.strName = "Advapi32";
  store.open = [scratch] { return std::make_unique<CWin32Registry>(scratch); };
  store.bAtomicBatches = false;
  store.pScratch =
      std::shared_ptr<void>(nullptr, [scratch](void*) { DeleteCurrentUserTree(scratch); });
  return store;
}

NativeProtectors MakeNativeProtectors(const std::string&, CLogger&) {
  NativeProtectors protectors;
  protectors.strName = "Dpapi";
  protectors.sameUser = [] { return std::make_unique<CDpapiDataProtector>(); };
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  protectors.bAuthenticatesEveryByte =
      ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr;
  return protectors;
}

NativeLogBackend MakeNativeLogBackend() {
  return {"Win32", std::make_unique<CWin32LogBackend>(), "\r\n"};
}
