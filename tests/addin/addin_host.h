// The add-in inside a simulated Outlook, connected as Outlook connects it: one CAddinModule
// on test collaborators (manual clock, in-memory store and protector, recording log, a
// transport nobody answers, scripted players) and a CConnect driven with the simulation's
// Application and AddInInst objects. Nothing touches the network or the user's store.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "addin/addin_module.h"
#include "platform/libxml2/libxml2_parser.h"
#include "platform/sim/sim_outlook.h"
#include "tests/support/in_memory_data_protector.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/in_memory_registry.h"
#include "tests/support/manual_clock.h"
#include "tests/support/recording_log_backend.h"
#include "tests/support/recording_thread_hooks.h"
#include "tests/support/scripted_http_transport.h"
#include "tests/support/scripted_now_playing_source.h"

class CAddinHost {
 public:
  explicit CAddinHost(SimOutlookOptions options = {});
  // The same, with the client talking through `transport` to the service `deployment` names
  // (the scripted transport is then left unused). `transport` must outlive the host.
  CAddinHost(SimOutlookOptions options, IHttpTransport* transport,
             const DeploymentConfig& deployment);
  ~CAddinHost();

  // OnConnection with the simulation's Application (with or without _Application).
  HRESULT Connect(bool answersOutlookApplication = true);
  HRESULT Disconnect();

  // Puts the client in the logged-in state of user `name`, as a stored session would.
  void LogIn(const std::wstring& name);
  // What the options hold in the store right now, read by a fresh options object.
  CFBOpts Stored();
  // Lines of the log category `category` whose message contains `fragment`.
  int LogLines(const std::string& category, const std::string& fragment);

  morvane::CZenletApplication& Application() { return module->Application(); }

  CManualClock clock;
  CRecordingLogBackend log;
  CInMemoryFileSystem files{L"/home/user/.local/share", L"/tmp", L'/'};
  CScriptedHttpTransport http;
  CLibxml2Parser xml;
  CInMemoryRegistry registry;
  CInMemoryDataProtector protector;
  CScriptedNowPlayingSource firstPlayer;
  CScriptedNowPlayingSource secondPlayer;
  CRecordingThreadHooks hooks;
  // Outlook outlives the add-in, whose sinks unadvise from it as they go.
  CSimOutlook outlook;
  std::optional<CAddinModule> module;
  std::optional<CConnect> connect;
};
