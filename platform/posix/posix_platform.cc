#include "platform/posix/posix_platform.h"

#include "common/logger.h"
#include "platform/curl/curl_http_transport.h"
#include "platform/libxml2/libxml2_parser.h"
#include "platform/log4cpp/log4cpp_backend.h"
#include "platform/openssl/aes_gcm_data_protector.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_thread_hooks.h"
#include "platform/silent_now_playing_source.h"
#include "platform/posix/terminal_user_shell.h"
#include "platform/sqlite/sqlite_registry.h"

struct CPosixPlatform::Adapters {
  CPosixClock clock;
  CPosixFileSystem files;
  CLog4cppBackend log;
  CCurlHttpTransport http;
  CLibxml2Parser xml;
  // The store's and the protector's troubles go to the log file once it is set up.
  CSqliteRegistry registry{CSqliteRegistry::DefaultPath(), GetLogger("opt")};
  CAesGcmDataProtector protector{CAesGcmDataProtector::DefaultKeyPath(), GetLogger("opt")};
  CTerminalUserShell shell;
  CSilentNowPlayingSource firstPlayer;
  CSilentNowPlayingSource secondPlayer;
  CPosixThreadHooks threadHooks;
};

CPosixPlatform::CPosixPlatform() : m_pAdapters(std::make_unique<Adapters>()) {}

CPosixPlatform::~CPosixPlatform() = default;

Platform CPosixPlatform::Bundle() const {
  Adapters& a = *m_pAdapters;
  Platform platform;
  platform.pClock = &a.clock;
  platform.pFileSystem = &a.files;
  platform.pLogBackend = &a.log;
  platform.pHttp = &a.http;
  platform.pXml = &a.xml;
  platform.pRegistry = &a.registry;
  platform.pProtector = &a.protector;
  platform.pShell = &a.shell;
  platform.pFirstPlayer = &a.firstPlayer;
  platform.pSecondPlayer = &a.secondPlayer;
  platform.pThreadHooks = &a.threadHooks;
  return platform;
}
