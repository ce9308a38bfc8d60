// The REST client wired as the Linux host wires it (libcurl, libxml2, the real clock), aimed
// at an emulated service running in the test process, and a "browser" that works the
// service's login and permission pages over HTTP.
#pragma once

#include <memory>
#include <string>

#include "common/logger.h"
#include "facebook/facebook_client.h"
#include "platform/curl/curl_http_transport.h"
#include "platform/libxml2/libxml2_parser.h"
#include "platform/posix/posix_clock.h"
#include "tests/support/recording_log_backend.h"
#include "tools/restemu/rest_emulator.h"

// The deployment's application, with every address on the emulator's port of 127.0.0.1.
DeploymentConfig EmulatorDeployment(int port);

// Does in the browser what the user does after the add-in opened a page: logs in on the
// token's login page, or allows the status permission. False when the page refused.
bool LogInOnTheLoginPage(int port, const std::string& authToken);
bool AllowStatusUpdates(int port);

// The value of the parameter `name` in the query of `address`, as it stands there; empty
// when there is none.
std::string QueryValue(const std::string& address, const std::string& name);

// The whole token login of the client: token, browser login, session. True when logged in.
bool LogInThroughTheBrowser(CFacebookClient& client, int port);

struct EmulatedService {
  enum class EApi {
    kPlain,  // everything on the emulator's plain port
    kTls,    // the API on its TLS port, whose certificate the client trusts, as zenlet has it
  };
  explicit EmulatedService(const std::string& scenarioJson, EApi api = EApi::kPlain);

  std::unique_ptr<CRestEmulator> pEmulator;
  std::unique_ptr<CCurlHttpTransport> pTransport;
  CLibxml2Parser parser;
  CPosixClock clock;
  CRecordingLogBackend log;
  CLogger logger{"fap", &log};
  std::unique_ptr<CFacebookClient> pClient;
};
