#include "platform/win32/win32_platform.h"

#include "platform/win32/dpapi_data_protector.h"
#include "platform/win32/itunes_now_playing_source.h"
#include "platform/win32/msxml_parser.h"
#include "platform/win32/win32_clipboard.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_log_backend.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_thread_hooks.h"
#include "platform/win32/win32_user_shell.h"
#include "platform/win32/win32_window_system.h"
#include "platform/win32/wininet_http_transport.h"
#include "platform/win32/wmp_remote.h"

struct CWin32Platform::Adapters {
  CWin32Clock clock;
  CWin32FileSystem files;
  CWin32LogBackend log;
  CWinInetHttpTransport http;
  CMsxmlParser xml;
  CWin32Registry registry;
  CDpapiDataProtector protector;
  CWin32UserShell shell;
  CWin32WindowSystem windowSystem;
  CWin32Clipboard clipboard;
  CITunesNowPlayingSource firstPlayer;
  CWmpNowPlayingSource secondPlayer;
  CWin32ThreadHooks threadHooks;
};

CWin32Platform::CWin32Platform() : m_pAdapters(std::make_unique<Adapters>()) {}

CWin32Platform::~CWin32Platform() = default;

Platform CWin32Platform::Bundle() const {
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
  platform.pWindowSystem = &a.windowSystem;
  platform.pClipboard = &a.clipboard;
  platform.pFirstPlayer = &a.firstPlayer;
  platform.pSecondPlayer = &a.secondPlayer;
  platform.pThreadHooks = &a.threadHooks;
  return platform;
}
