// The HTTP front on its own: the request reader fed whole and byte by byte, and the server's
// deadlines, connection cap, streams and "100 Continue", with short timeouts.
#include "tools/http_front/http_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "tests/http_front/raw_http_client.h"

namespace {

using namespace std::chrono_literals;

struct ReaderCase {
  const char* szName;
  std::string strInput;
  int nStatus;  // 0: the request is read whole
  const char* szBody;
};

TEST(RequestReaderTest, ReadsOrRefusesTheSameWayWholeOrByteByByte) {
  const HttpLimits limits{1024, 8, 1000};
  const std::string post = "POST /p HTTP/1.1\r\n";
  std::string nineFields;
  for (int i = 0; i < 9; ++i) {
    nineFields += "F" + std::to_string(i) + ": 1\r\n";
  }
  const ReaderCase cases[] = {
      {"fixed length", post + "Content-Length: 5\r\n\r\nhello", 0, "hello"},
      {"chunked with an extension and a trailer",
       post + "Transfer-Encoding: Chunked\r\n\r\n3;x=1\r\nabc\r\n2\r\nde\r\n0\r\nT: 1\r\n\r\n", 0,
       "abcde"},
      {"bare line feeds", "POST /p HTTP/1.1\nContent-Length: 2\n\nok", 0, "ok"},
      {"gzip",
       post + "Content-Encoding: gzip\r\nContent-Length: " +
           std::to_string(GzipForTest("packed").size()) + "\r\n\r\n" + GzipForTest("packed"),
       0, "packed"},
      {"a length over the limit", post + "Content-Length: 1001\r\n\r\n", 413, ""},
      {"chunks over the limit",
       post + "Transfer-Encoding: chunked\r\n\r\n3e8\r\n" + std::string(1000, 'a') +
           "\r\n1\r\nb\r\n0\r\n\r\n",
       413, ""},
      {"gzip that unpacks over the limit",
       post + "Content-Encoding: gzip\r\nContent-Length: " +
           std::to_string(GzipForTest(std::string(5000, 'z')).size()) + "\r\n\r\n" +
           GzipForTest(std::string(5000, 'z')),
       413, ""},
      {"gzip that is not gzip", post + "Content-Encoding: gzip\r\nContent-Length: 4\r\n\r\nabcd",
       400, ""},
      {"a head over the limit", post + "X: " + std::string(1100, 'x') + "\r\n\r\n", 431, ""},
      {"too many fields", post + nineFields + "\r\n", 431, ""},
      {"length and chunking both", post + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n",
       400, ""},
      {"two different lengths", post + "Content-Length: 3\r\nContent-Length: 4\r\n\r\n", 400, ""},
      {"a length that is no number", post + "Content-Length: -1\r\n\r\n", 400, ""},
      {"an unknown transfer coding", post + "Transfer-Encoding: gzip\r\n\r\n", 501, ""},
      {"an unknown content coding", post + "Content-Encoding: compress\r\n\r\n", 415, ""},
      {"a chunk size that is no number", post + "Transfer-Encoding: chunked\r\n\r\nzz\r\n", 400,
       ""},
      {"a chunk longer than its size", post + "Transfer-Encoding: chunked\r\n\r\n1\r\nab\r\n", 400,
       ""},
      {"a folded header", post + "A: 1\r\n  2\r\n\r\n", 400, ""},
      {"a header without a colon", post + "Nonsense\r\n\r\n", 400, ""},
      {"HTTP/2", "GET / HTTP/2.0\r\n\r\n", 505, ""},
      {"a target that is no path", "GET http://x/ HTTP/1.1\r\n\r\n", 400, ""},
      {"a request line of two words", "GET /\r\n\r\n", 400, ""},
  };
  for (const ReaderCase& test : cases) {
    for (const bool bByteByByte : {false, true}) {
      CRequestReader reader(limits);
      CRequestReader::State state = CRequestReader::State::kNeedMore;
      for (std::size_t at = 0;
           at < test.strInput.size() && state == CRequestReader::State::kNeedMore;
           at += bByteByByte ? 1 : test.strInput.size()) {
        reader.Append(test.strInput.data() + at, bByteByByte ? 1 : test.strInput.size());
        state = reader.Advance();
      }
      const std::string name = std::string(test.szName) + (bByteByByte ? ", byte by byte" : "");
      if (test.nStatus == 0) {
        ASSERT_EQ(state, CRequestReader::State::kComplete)
            << name << ": " << reader.FailureReason();
        EXPECT_EQ(reader.TakeRequest().strBody, test.szBody) << name;
      } else {
        ASSERT_EQ(state, CRequestReader::State::kFailed) << name;
        EXPECT_EQ(reader.FailureStatus(), test.nStatus) << name << ": " << reader.FailureReason();
      }
    }
  }
}

TEST(RequestReaderTest, PipelinedRequestsComeOneAfterTheOther) {
  CRequestReader reader;
  const std::string requests =
      "\r\nGET /a%20b?x=1+2 HTTP/1.1\r\nHost: h\r\n\r\n"
      "GET /c HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n"
      "GET /d HTTP/1.0\r\n\r\n"
      "POST /e HTTP/1.1\r\nConnection: close\r\nExpect: 100-continue\r\nContent-Length: 1\r\n\r\n";
  reader.Append(requests.data(), requests.size());
  ASSERT_EQ(reader.Advance(), CRequestReader::State::kComplete);
  const HttpRequest first = reader.TakeRequest();
  EXPECT_EQ(first.strPath, "/a b");
  EXPECT_EQ(first.strQuery, "x=1+2");
  EXPECT_EQ(first.Header("HOST"), "h");
  EXPECT_TRUE(first.bKeepAlive);
  ASSERT_EQ(reader.Advance(), CRequestReader::State::kComplete);
  EXPECT_TRUE(reader.TakeRequest().bKeepAlive);
  ASSERT_EQ(reader.Advance(), CRequestReader::State::kComplete);
  EXPECT_FALSE(reader.TakeRequest().bKeepAlive);

  // The last one waits for its body and asks, once, for the go-ahead.
  EXPECT_EQ(reader.Advance(), CRequestReader::State::kNeedMore);
  EXPECT_TRUE(reader.HasStarted());
  EXPECT_TRUE(reader.TakeContinueRequest());
  EXPECT_FALSE(reader.TakeContinueRequest());
  reader.Append("!", 1);
  ASSERT_EQ(reader.Advance(), CRequestReader::State::kComplete);
  const HttpRequest last = reader.TakeRequest();
  EXPECT_EQ(last.strBody, "!");
  EXPECT_FALSE(last.bKeepAlive);
  EXPECT_FALSE(reader.HasStarted());
}

// A stream whose text the test hands over; with bEndless, one that never runs dry.
class CTestStream : public IHttpStreamBody {
 public:
  explicit CTestStream(bool bEndless = false) : m_bEndless(bEndless) {}

  void Push(const std::string& text, bool bLast = false) {
    std::function<void()> wake;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_strReady += text;
      m_bLast = bLast;
      wake = m_wake;
    }
    if (wake) {
      wake();
    }
  }
  void Begin(std::function<void()> wake) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wake = std::move(wake);
  }
  bool Take(std::string& out) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    out += m_bEndless ? std::string(64 * 1024, 'x') : m_strReady;
    m_strReady.clear();
    return !m_bLast;
  }
  void End() override { ++m_nEnded; }

  std::atomic<int> m_nEnded{0};

 private:
  const bool m_bEndless;
  std::mutex m_mutex;
  std::string m_strReady;
  bool m_bLast = false;
  std::function<void()> m_wake;
};

class CHttpServerTest : public ::testing::Test {
 protected:
  void StartServer(HttpServerOptions options) {
    m_pServer = std::make_unique<CHttpServer>(
        [this](const HttpRequest& request, HttpResponse& response) {
          if (request.strPath == "/throw") {
            throw std::runtime_error("handler failed");
          }
          if (request.strPath == "/stream" || request.strPath == "/endless") {
            auto stream = std::make_shared<CTestStream>(request.strPath == "/endless");
            response.pStream = stream;
            response.aHeaders.emplace_back("X-Stream", "yes");
            std::lock_guard<std::mutex> lock(m_mutex);
            m_aStreams.push_back(std::move(stream));
            return;
          }
          response.strBody = request.strMethod + " " + request.strPath + " " + request.strBody;
        },
        options);
    m_nPort = m_pServer->Start(0);
  }

  // The streams the handler opened, once there are `count`.
  std::vector<std::shared_ptr<CTestStream>> Streams(std::size_t count) {
    for (int i = 0; i < 500; ++i) {
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_aStreams.size() >= count) {
          return m_aStreams;
        }
      }
      std::this_thread::sleep_for(10ms);
    }
    ADD_FAILURE() << "fewer than " << count << " streams opened";
    return {};
  }

  std::optional<RawAnswer> Get(CRawConnection& connection, const std::string& path) {
    connection.Send("GET " + path + " HTTP/1.1\r\nHost: h\r\n\r\n");
    return connection.ReadAnswer();
  }

  std::mutex m_mutex;
  std::vector<std::shared_ptr<CTestStream>> m_aStreams;
  std::unique_ptr<CHttpServer> m_pServer;
  int m_nPort = 0;
};

TEST_F(CHttpServerTest, SilentAndSlowConnectionsAreCutOffAtTheirDeadlines) {
  HttpServerOptions options;
  options.idleTimeout = 300ms;
  options.requestTimeout = 600ms;
  StartServer(options);

  CRawConnection silent(m_nPort);
  CRawConnection slow(m_nPort);
  slow.Send("GET / HT");
  CRawConnection kept(m_nPort);
  auto first = Get(kept, "/one");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->strBody, "GET /one ");
  EXPECT_EQ(first->Header("Connection"), "keep-alive");

  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(silent.ClosedWithin(5s));
  EXPECT_TRUE(kept.ClosedWithin(5s));  // idle after its answer
  const auto answer = slow.ReadAnswer(5s);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->nStatus, 408);
  EXPECT_TRUE(slow.ClosedWithin(5s));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);

  // A handler that throws gives a 500, and the server goes on.
  CRawConnection next(m_nPort);
  const auto failed = Get(next, "/throw");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->nStatus, 500);
  const auto served = Get(next, "/two");
  ASSERT_TRUE(served);
  EXPECT_EQ(served->strBody, "GET /two ");
}

TEST_F(CHttpServerTest, PastTheCapTheIdleGoFirstThenTheLongestArrivingButNeverAStream) {
  // Slow senders filling every place were never cut off to make room, so until their
  // deadlines every other client was turned away.
  HttpServerOptions options;
  options.nMaxConnections = 4;
  StartServer(options);
  CRawConnection stream(m_nPort);
  stream.Send("GET /stream HTTP/1.1\r\nHost: h\r\n\r\n");
  ASSERT_TRUE(stream.ReadThrough("\r\n\r\n"));
  std::vector<std::unique_ptr<CRawConnection>> others;
  for (const char* sent : {"GET /slow HTTP/1.1\r\n", "", "GET /slower HTTP/1.1\r\n"}) {
    others.push_back(std::make_unique<CRawConnection>(m_nPort));
    others.back()->Send(sent);
    std::this_thread::sleep_for(50ms);  // so that they are in the order opened
  }
  CRawConnection& earliest = *others[0];
  CRawConnection& idle = *others[1];
  CRawConnection& latest = *others[2];
  const auto expectAnswered = [this](const std::string& path) {
    CRawConnection newest(m_nPort);
    newest.Send("GET " + path + " HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n");
    const auto answer = newest.ReadAnswer();
    ASSERT_TRUE(answer) << path;
    EXPECT_EQ(answer->strBody, "GET " + path + " ");
    EXPECT_TRUE(newest.ClosedWithin(2s));
  };

  // The idle one goes first, though it is not the oldest.
  expectAnswered("/idle-goes");
  EXPECT_TRUE(idle.ClosedWithin(2s));
  EXPECT_FALSE(earliest.ClosedWithin(100ms));
  // With none idle, the request that has been arriving the longest goes.
  CRawConnection filler(m_nPort);
  filler.Send("GET /filler HTTP/1.1\r\n");
  std::this_thread::sleep_for(50ms);
  expectAnswered("/earliest-goes");
  EXPECT_TRUE(earliest.ClosedWithin(2s));
  EXPECT_FALSE(latest.ClosedWithin(100ms));
  EXPECT_FALSE(filler.ClosedWithin(100ms));
  // A stream is never the one to go.
  Streams(1)[0]->Push("still here");
  EXPECT_EQ(stream.ReadThrough("here", 2s), "still here");
}

TEST_F(CHttpServerTest, StreamsHoldNoWorkerAndEndWithTheirSourceClientOrStall) {
  HttpServerOptions options;
  options.nMaxWorkers = 1;
  options.sendStallTimeout = 300ms;
  StartServer(options);

  std::vector<std::unique_ptr<CRawConnection>> clients;
  for (int i = 0; i < 3; ++i) {
    clients.push_back(std::make_unique<CRawConnection>(m_nPort));
    clients.back()->Send("GET /stream HTTP/1.1\r\nHost: h\r\n\r\n");
    const auto head = clients.back()->ReadThrough("\r\n\r\n");
    ASSERT_TRUE(head) << "stream " << i;
    EXPECT_NE(head->find("X-Stream: yes\r\nConnection: close"), std::string::npos) << *head;
    EXPECT_EQ(head->find("Content-Length"), std::string::npos) << *head;
  }
  // The one worker is free for other requests while the streams stay open.
  CRawConnection plain(m_nPort);
  const auto answer = Get(plain, "/plain");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->strBody, "GET /plain ");

  const std::vector<std::shared_ptr<CTestStream>> streams = Streams(3);
  streams[0]->Push("data: one\n\n");
  streams[0]->Push("data: two\n\n", true);
  EXPECT_EQ(clients[0]->ReadThrough("two\n\n"), "data: one\n\ndata: two\n\n");
  EXPECT_TRUE(clients[0]->ClosedWithin(2s));  // its source said that was all
  clients[1].reset();                         // the client went away
  for (int i = 0; i < 200 && (streams[0]->m_nEnded == 0 || streams[1]->m_nEnded == 0); ++i) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(streams[0]->m_nEnded, 1);
  EXPECT_EQ(streams[1]->m_nEnded, 1);

  // A client that takes nothing of an endless stream is cut off once the stall time is up.
  CRawConnection stalled(m_nPort);
  stalled.Send("GET /endless HTTP/1.1\r\nHost: h\r\n\r\n");
  const std::shared_ptr<CTestStream> endless = Streams(4)[3];
  for (int i = 0; i < 300 && endless->m_nEnded == 0; ++i) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(endless->m_nEnded, 1);

  m_pServer->Stop();
  EXPECT_EQ(streams[2]->m_nEnded, 1);  // the server's stop ends the rest
  EXPECT_TRUE(clients[2]->ClosedWithin(2s));
}

TEST_F(CHttpServerTest, ABodyAwaitingTheGoAheadGetsOneHundredContinue) {
  StartServer({});
  CRawConnection connection(m_nPort);
  connection.Send(
      "POST /up HTTP/1.1\r\nHost: h\r\nExpect: 100-continue\r\nContent-Length: 4\r\n\r\n");
  const auto goAhead = connection.ReadAnswer(5s);
  ASSERT_TRUE(goAhead);
  EXPECT_EQ(goAhead->nStatus, 100);
  connection.Send("data");
  const auto answer = connection.ReadAnswer(5s);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->nStatus, 200);
  EXPECT_EQ(answer->strBody, "POST /up data");
}

}  // namespace
