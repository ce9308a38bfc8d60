#include "platform/libxml2/libxml2_parser.h"
#include "platform/log4cpp/log4cpp_backend.h"
#include "platform/openssl/aes_gcm_data_protector.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_thread_hooks.h"
#include "platform/silent_now_playing_source.h"
#include "platform/sqlite/sqlite_registry.h"
#include "tests/platform/native_adapters.h"

const char* NativePlatformName() {
  return "Posix";
}

std::unique_ptr<IClock> MakeNativeClock() {
  return std::make_unique<CPosixClock>();
}

std::unique_ptr<IFileSystem> MakeNativeFileSystem() {
  return std::make_unique<CPosixFileSystem>();
}

bool IsAbsoluteNativePath(const std::wstring& path) {
  return !path.empty() && path[0] == L'/';
}

std::unique_ptr<IThreadHooks> MakeNativeThreadHooks() {
  return std::make_unique<CPosixThreadHooks>();
}

std::unique_ptr<INowPlayingSource> MakeNativeNowPlayingSource() {
  return std::make_unique<CSilentNowPlayingSource>();
}

NativeXmlParser NativeXml() {
  return {"Libxml2", [] { return std::make_unique<CLibxml2Parser>(); }};
}

NativeRegistryStore MakeNativeRegistryStore(const std::string& scratchFolder, CLogger& logger) {
  const std::string path = scratchFolder + "/config/Morvane/Zenlet/settings.db";
  NativeRegistryStore store;
  store.strName = "Sqlite";
  store.open = [path, &logger] { return std::make_unique<CSqliteRegistry>(path, logger); };
  return store;
}

NativeProtectors MakeNativeProtectors(const std::string& scratchFolder, CLogger& logger) {
  NativeProtectors protectors;
  protectors.strName = "AesGcm";
  protectors.sameUser = [scratchFolder, &logger] {
    return std::make_unique<CAesGcmDataProtector>(scratchFolder + "/ann/protection.key", logger);
  };
  protectors.otherUser = [scratchFolder, &logger] {
    return std::make_unique<CAesGcmDataProtector>(scratchFolder + "/bob/protection.key", logger);
  };
  return protectors;
}

NativeLogBackend MakeNativeLogBackend() {
  return {"Log4cpp", std::make_unique<CLog4cppBackend>(), "\n"};
}
