// A REST client for the fuzz targets of the service's answers: the build's deployment, the
// real XML parser, and a scripted transport whose every request gets the answer fuzzed.
#pragma once

#include <string_view>

#include "common/logger.h"
#include "facebook/facebook_client.h"
#include "platform/libxml2/libxml2_parser.h"
#include "tests/support/manual_clock.h"
#include "tests/support/recording_log_backend.h"
#include "tests/support/scripted_http_transport.h"

// A REST client of the build's deployment whose every request gets the same answer.
struct FuzzClient {
  CScriptedHttpTransport transport;
  CLibxml2Parser parser;
  CManualClock clock;
  CRecordingLogBackend log;
  CLogger logger{"fap", &log};
  CFacebookClient client{GetDeploymentConfig(), transport, parser, clock, logger};

  explicit FuzzClient(std::string_view answer);
  // The logged-in state of a stored session.
  void LogIn();
};
