// A REST client wired to test collaborators: the scripted transport, the real libxml2
// parser, a manual clock and a recording log.
#pragma once

#include <string>

#include "common/deployment.h"
#include "common/logger.h"
#include "facebook/facebook_client.h"
#include "platform/libxml2/libxml2_parser.h"
#include "tests/support/manual_clock.h"
#include "tests/support/recording_log_backend.h"
#include "tests/support/scripted_http_transport.h"

inline constexpr const char* kTestApiKey = "0123456789abcdef0123456789abcdef";
inline constexpr const char* kTestAppSecret = "fedcba9876543210fedcba9876543210";
inline constexpr const char* kServiceNamespace = "http://api.facebook.com/1.0/";

DeploymentConfig TestDeployment();

// The content of tests/fixtures/rest-answers/<name>; fails the test when it cannot be read.
std::string ReadFixture(const std::string& name);

// An answer in the service's namespace: `<root xmlns="...">inner</root>`.
std::string ServiceAnswer(const std::string& root, const std::string& inner);
std::string ErrorAnswer(const std::string& code, const std::string& message);

// The value of the first pair named `name` in a form-encoded body, still encoded;
// "<absent>" when there is none.
std::string FormValue(const std::string& body, const std::string& name);

struct ClientHarness {
  CScriptedHttpTransport transport;
  CLibxml2Parser parser;
  CManualClock clock;
  CRecordingLogBackend log;
  CLogger logger{"fap", &log};
  CFacebookClient client{TestDeployment(), transport, parser, clock, logger};

  // Puts the client in the logged-in state with `userId`, as a stored session would.
  void LogIn(const std::string& userId = "8055");
  // Runs `method` with no parameters of its own into `result` (fresh or reset).
  void Call(const std::string& method, FacebookCallResult& result);
  // Queues one answer with status 200 and `body`.
  void Answer(const std::string& body);
  int Errors(const std::string& fragment) { return log.Count(LogPriority::kError, fragment); }
};
