// The adapters of the platform this test program is built for, as the contract suites run
// them beside the fakes. There is one implementation file per platform, chosen by the build
// (native_adapters_posix.cc, native_adapters_win32.cc), so that every suite builds for both.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/data_protector.h"
#include "platform/file_system.h"
#include "platform/log_backend.h"
#include "platform/now_playing_source.h"
#include "platform/registry.h"
#include "platform/thread_hooks.h"
#include "platform/xml_parser.h"

class CLogger;

// "Posix" or "Win32": the name the suites give the platform's own adapters.
const char* NativePlatformName();

std::unique_ptr<IClock> MakeNativeClock();
std::unique_ptr<IFileSystem> MakeNativeFileSystem();
// Whether `path` is absolute in the platform's own form ("/x", "C:\x").
bool IsAbsoluteNativePath(const std::wstring& path);
std::unique_ptr<IThreadHooks> MakeNativeThreadHooks();
std::unique_ptr<INowPlayingSource> MakeNativeNowPlayingSource();

struct NativeXmlParser {
  std::string strName;  // "Libxml2", "Msxml3"
  std::function<std::unique_ptr<IXmlParser>()> create;
};
NativeXmlParser NativeXml();

// The settings store, over a scratch area made for the test and removed with the object.
struct NativeRegistryStore {
  std::string strName;  // "Sqlite", "Advapi32"
  // Another registry over the same store at every call.
  std::function<std::unique_ptr<IRegistry>()> open;
  // Whether a batch's writes become visible together or not at all.
  bool bAtomicBatches = true;
  std::shared_ptr<void> pScratch;
};
NativeRegistryStore MakeNativeRegistryStore(const std::string& scratchFolder, CLogger& logger);

struct NativeProtectors {
  std::string strName;  // "AesGcm", "Dpapi"
  std::function<std::unique_ptr<IDataProtector>()> sameUser;
  // A protector of another user; empty where one process cannot act as another user.
  std::function<std::unique_ptr<IDataProtector>()> otherUser;
  // Whether a change of any byte of a blob, or a byte added, makes it fail. Wine's DPAPI
  // checks only the blob's version and provider, its encrypted data and its signature.
  bool bAuthenticatesEveryByte = true;
};
NativeProtectors MakeNativeProtectors(const std::string& scratchFolder, CLogger& logger);

// The log file's real backend, and the line end its file carries.
struct NativeLogBackend {
  std::string strName;  // "Log4cpp", "Win32"
  std::unique_ptr<ILogBackend> pBackend;
  std::string strLineEnd;
};
NativeLogBackend MakeNativeLogBackend();

// The platform's file system with its application data folder moved to `appData`, so that
// the real folder code runs inside a test's own folder.
class CRedirectedFileSystem : public IFileSystem {
 public:
  explicit CRedirectedFileSystem(std::wstring appData)
      : m_pFiles(MakeNativeFileSystem()), m_strAppData(std::move(appData)) {}
  std::wstring LocalAppDataFolder() override { return m_strAppData; }
  std::wstring FallbackFolder() override { return m_pFiles->FallbackFolder(); }
  wchar_t Separator() const override { return m_pFiles->Separator(); }
  bool Exists(const std::wstring& path) override { return m_pFiles->Exists(path); }
  bool CreateFolder(const std::wstring& path) override { return m_pFiles->CreateFolder(path); }

 private:
  std::unique_ptr<IFileSystem> m_pFiles;
  std::wstring m_strAppData;
};
