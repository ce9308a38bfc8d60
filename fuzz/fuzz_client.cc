#include "fuzz/fuzz_client.h"

#include <mutex>
#include <string>

FuzzClient::FuzzClient(std::string_view answer) {
  transport.SetStandingAnswer(ScriptedHttpAnswer::Body(std::string(answer)));
}

void FuzzClient::LogIn() {
  std::lock_guard<std::mutex> lock(client.m_csState);
  client.m_session.strSessionKey = "5f34e11bfb97c762e439e6a5-8055";
  client.m_session.strSessionSecret = "ohairoflamao12345";
  client.m_session.strUserId = "8055";
}
