#include "tests/support/scripted_http_transport.h"

#include <algorithm>
#include <utility>

namespace {

using State = CScriptedHttpTransport::State;

// What the objects of one session share: the answer it plays and the settings so far.
struct SessionScript {
  std::shared_ptr<State> pState;
  ScriptedHttpAnswer answer;
  RecordedHttpExchange settings;  // user agent, time-outs, host, port and scheme
  bool bRefused = false;
  ScriptedPortKind ePort = ScriptedPortKind::kAny;

  // Why a request on this session's connection gets no answer from the port, before any
  // script plays; empty when the port takes it.
  std::string PortRefusal() const {
    if (bRefused) {
      return "the server could not be reached (scripted: connection refused)";
    }
    const bool bTlsPort = ePort == ScriptedPortKind::kTlsTrusted ||
                          ePort == ScriptedPortKind::kTlsUntrusted ||
                          ePort == ScriptedPortKind::kTlsOtherName;
    if (!settings.bTls) {
      return bTlsPort ? "the connection was closed before an answer came (scripted: plain "
                        "HTTP to a TLS port)"
                      : std::string();
    }
    switch (ePort) {
      case ScriptedPortKind::kPlainOnly:
        return "no TLS connection could be made (scripted: the server speaks plain HTTP)";
      case ScriptedPortKind::kTlsUntrusted:
        return "the server's certificate was refused: no trusted root vouches for it (scripted)";
      case ScriptedPortKind::kTlsOtherName:
        return "the server's certificate was refused: it names another host (scripted)";
      default:
        return std::string();
    }
  }

  bool Fails(HttpStep step) const { return answer.eFailAt == step; }

  template <typename F>
  void Locked(F&& change) {
    std::lock_guard<std::mutex> lock(pState->mutex);
    change(*pState);
  }
};

class CScriptedRequest : public IHttpRequest {
 public:
  CScriptedRequest(std::shared_ptr<SessionScript> session,
                   std::shared_ptr<RecordedHttpExchange> record)
      : m_session(std::move(session)), m_record(std::move(record)) {
    m_aChunks = m_session->answer.aChunks;
    m_aChunks.erase(std::remove(m_aChunks.begin(), m_aChunks.end(), std::string()),
                    m_aChunks.end());
  }
  ~CScriptedRequest() override {
    m_session->Locked([](State& s) { s.aClosed.push_back("request"); });
  }

  void AddHeader(const std::string& line) override {
    std::string name;
    std::string value;
    if (m_bSent || !ParseAddableHeader(line, &name, &value)) {
      return;  // dropped, as a header that cannot be added is
    }
    m_session->Locked([&](State&) {
      auto& headers = m_record->aHeaders;
      headers.erase(std::remove_if(headers.begin(), headers.end(),
                                   [&](const std::string& h) {
                                     return SameHeaderName(h.substr(0, h.find(':')), name);
                                   }),
                    headers.end());
      headers.push_back(name + ": " + value);
    });
  }

  bool Send(const std::string& body) override {
    if (m_bSent) {
      return false;  // a request is sent once
    }
    m_bSent = true;
    m_strFailure = m_session->PortRefusal();
    if (m_strFailure.empty() && m_session->Fails(HttpStep::kSend)) {
      m_strFailure = "the server did not answer (scripted)";
    }
    if (!m_strFailure.empty()) {
      m_bFailed = true;
      return false;
    }
    m_session->Locked([&](State&) {
      m_record->bSent = true;
      m_record->strBody = body;
    });
    if (m_session->answer.bEchoBody) {
      m_aChunks = {body};
      m_aChunks.erase(std::remove(m_aChunks.begin(), m_aChunks.end(), std::string()),
                      m_aChunks.end());
    }
    if (m_session->answer.onSend) {
      m_session->answer.onSend();
    }
    m_bAnswered = true;
    return true;
  }

  bool QueryStatusCode(std::int32_t* status, std::uint32_t* systemError) override {
    if (!m_bAnswered || m_bFailed || m_session->Fails(HttpStep::kQueryStatusCode)) {
      *systemError = m_session->answer.dwSystemError;
      return false;
    }
    *status = m_session->answer.nStatus;
    return true;
  }

  bool QueryDataAvailable(std::uint32_t* available) override {
    if (BodyStepFails(HttpStep::kQueryDataAvailable)) {
      return false;
    }
    *available = AtEnd() ? 0 : static_cast<std::uint32_t>(Chunk().size() - m_nOffset);
    return true;
  }

  std::string DescribeFailure() const override { return m_strFailure; }

  bool Read(char* buffer, std::uint32_t size, std::uint32_t* read) override {
    if (BodyStepFails(HttpStep::kRead)) {
      return false;
    }
    *read = 0;
    if (AtEnd()) {
      return true;
    }
    const std::string& chunk = Chunk();
    const std::size_t count = std::min<std::size_t>(size, chunk.size() - m_nOffset);
    std::copy_n(chunk.data() + m_nOffset, count, buffer);
    m_nOffset += count;
    if (m_nOffset == chunk.size()) {
      ++m_nChunk;
      m_nOffset = 0;
    }
    *read = static_cast<std::uint32_t>(count);
    m_session->Locked([&](State&) { m_record->nBodyBytesRead += count; });
    return true;
  }

 private:
  bool AtEnd() const {
    return m_aChunks.empty() || (!m_session->answer.bEndless && m_nChunk >= m_aChunks.size());
  }
  const std::string& Chunk() const { return m_aChunks[m_nChunk % m_aChunks.size()]; }

  bool BodyStepFails(HttpStep step) {
    if (!m_bAnswered) {
      return true;  // out of order: refused, but the request stays usable
    }
    if (m_bFailed || (m_session->Fails(step) && m_nChunk >= m_session->answer.nFailAfterChunks)) {
      m_bFailed = true;
      m_strFailure = "the connection failed (scripted)";
    }
    return m_bFailed;
  }

  std::shared_ptr<SessionScript> m_session;
  std::shared_ptr<RecordedHttpExchange> m_record;
  std::vector<std::string> m_aChunks;
  bool m_bSent = false;
  bool m_bAnswered = false;
  bool m_bFailed = false;
  std::string m_strFailure;
  std::size_t m_nChunk = 0;
  std::size_t m_nOffset = 0;
};

class CScriptedConnection : public IHttpConnection {
 public:
  explicit CScriptedConnection(std::shared_ptr<SessionScript> session)
      : m_session(std::move(session)) {}
  ~CScriptedConnection() override {
    m_session->Locked([](State& s) { s.aClosed.push_back("connection"); });
  }

  std::unique_ptr<IHttpRequest> OpenRequest(const std::string& verb,
                                            const std::string& path) override {
    if (!IsAcceptableRequest(verb, path) || m_session->Fails(HttpStep::kOpenRequest)) {
      return nullptr;
    }
    auto record = std::make_shared<RecordedHttpExchange>(m_session->settings);
    record->strVerb = verb;
    record->strPath = path;
    m_session->Locked([&](State& s) { s.aExchanges.push_back(record); });
    return std::make_unique<CScriptedRequest>(m_session, record);
  }

 private:
  std::shared_ptr<SessionScript> m_session;
};

class CScriptedSession : public IHttpSession {
 public:
  explicit CScriptedSession(std::shared_ptr<SessionScript> session)
      : m_session(std::move(session)) {}
  ~CScriptedSession() override {
    m_session->Locked([](State& s) { s.aClosed.push_back("session"); });
  }

  void SetTimeouts(std::uint32_t connectMs, std::uint32_t receiveMs) override {
    m_session->settings.dwConnectTimeoutMs = connectMs;
    m_session->settings.dwReceiveTimeoutMs = receiveMs;
  }

  std::unique_ptr<IHttpConnection> Connect(const std::string& host, int port,
                                           HttpScheme scheme) override {
    if (!IsAcceptableHost(host, port) || m_session->Fails(HttpStep::kConnect)) {
      return nullptr;
    }
    m_session->settings.strHost = host;
    m_session->settings.nPort = port;
    m_session->settings.bTls = scheme == HttpScheme::kHttps;
    m_session->Locked([&](State& s) {
      m_session->bRefused = s.aRefusedPorts.count(port) > 0;
      const auto kind = s.aPortKinds.find(port);
      m_session->ePort = kind != s.aPortKinds.end() ? kind->second : ScriptedPortKind::kAny;
    });
    return std::make_unique<CScriptedConnection>(m_session);
  }

 private:
  std::shared_ptr<SessionScript> m_session;
};

}  // namespace

ScriptedHttpAnswer ScriptedHttpAnswer::Body(std::string body, std::int32_t status) {
  return Chunks({std::move(body)}, status);
}

ScriptedHttpAnswer ScriptedHttpAnswer::Chunks(std::vector<std::string> chunks,
                                              std::int32_t status) {
  ScriptedHttpAnswer answer;
  answer.nStatus = status;
  answer.aChunks = std::move(chunks);
  return answer;
}

ScriptedHttpAnswer ScriptedHttpAnswer::FailAt(HttpStep step, std::size_t afterChunks) {
  ScriptedHttpAnswer answer;
  answer.eFailAt = step;
  answer.nFailAfterChunks = afterChunks;
  return answer;
}

CScriptedHttpTransport::CScriptedHttpTransport() : m_state(std::make_shared<State>()) {}

void CScriptedHttpTransport::Enqueue(ScriptedHttpAnswer answer) {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  m_state->aScript.push_back(std::move(answer));
}

void CScriptedHttpTransport::SetStandingAnswer(ScriptedHttpAnswer answer) {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  m_state->standing = std::move(answer);
}

void CScriptedHttpTransport::RefusePort(int port) {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  m_state->aRefusedPorts.insert(port);
}

void CScriptedHttpTransport::SetPortKind(int port, ScriptedPortKind kind) {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  m_state->aPortKinds[port] = kind;
}

std::size_t CScriptedHttpTransport::Pending() {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  return m_state->aScript.size();
}

std::vector<RecordedHttpExchange> CScriptedHttpTransport::Exchanges() {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  std::vector<RecordedHttpExchange> copies;
  for (const auto& exchange : m_state->aExchanges) {
    copies.push_back(*exchange);
  }
  return copies;
}

std::vector<std::string> CScriptedHttpTransport::SentBodies() {
  std::vector<std::string> bodies;
  for (const RecordedHttpExchange& exchange : Exchanges()) {
    if (exchange.bSent) {
      bodies.push_back(exchange.strBody);
    }
  }
  return bodies;
}

std::vector<std::string> CScriptedHttpTransport::Closed() {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  return m_state->aClosed;
}

std::unique_ptr<IHttpSession> CScriptedHttpTransport::OpenSession(const std::string& userAgent) {
  auto session = std::make_shared<SessionScript>();
  session->pState = m_state;
  session->settings.strUserAgent = userAgent;
  {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    if (!m_state->aScript.empty()) {
      session->answer = std::move(m_state->aScript.front());
      m_state->aScript.pop_front();
    } else if (m_state->standing) {
      session->answer = *m_state->standing;
    } else {
      session->answer = ScriptedHttpAnswer::FailAt(HttpStep::kSend);
    }
  }
  if (!IsAcceptableUserAgent(userAgent) || session->Fails(HttpStep::kOpenSession)) {
    return nullptr;
  }
  return std::make_unique<CScriptedSession>(session);
}
