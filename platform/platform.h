// The platform bundle: one instance of every seam, wired once by start-up code (the DLL's
// load on Windows, main() on Linux). Portable classes take their collaborators through
// their constructors; only the process-wide accessors read this bundle.
#pragma once

class IClipboard;
class IClock;
class IDataProtector;
class IFileSystem;
class IHttpTransport;
class ILogBackend;
class INowPlayingSource;
class IRegistry;
class IThreadHooks;
class IUserShell;
class IWindowSystem;
class IXmlParser;

struct Platform {
  IClock* pClock = nullptr;
  IFileSystem* pFileSystem = nullptr;
  ILogBackend* pLogBackend = nullptr;
  IHttpTransport* pHttp = nullptr;
  IXmlParser* pXml = nullptr;
  IRegistry* pRegistry = nullptr;
  IDataProtector* pProtector = nullptr;
  IUserShell* pShell = nullptr;
  IWindowSystem* pWindowSystem = nullptr;  // thread timers, active window, system version
  IClipboard* pClipboard = nullptr;
  INowPlayingSource* pFirstPlayer = nullptr;   // asked first
  INowPlayingSource* pSecondPlayer = nullptr;  // asked when the first plays nothing
  IThreadHooks* pThreadHooks = nullptr;
};

// Replaces the process's bundle. Call before any thread other than the main one exists.
void SetPlatform(const Platform& platform);
// The bundle last set; every member is null before the first SetPlatform.
const Platform& GetPlatform();
