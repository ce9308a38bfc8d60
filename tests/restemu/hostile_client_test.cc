// Clients no library would be: pipelining, half-closing, slow, stalled, and ones whose bodies
// are chunked, compressed, multipart or large.

#include <cstdio>
#include <future>

#include "tests/http_front/raw_http_client.h"
#include "tests/restemu/emulator_fixture.h"

namespace {

using namespace std::chrono_literals;

class CHostileClientTest : public CEmulatorTest {
 protected:
  std::string SignedForm(const std::string& method, ParamMap params = {}) {
    return FormEncode(Client().Signed(method, std::move(params)));
  }
};

std::string ParamOf(const CallRecord& call, const std::string& name) {
  for (const RequestParam& param : call.aParams) {
    if (param.strName == name) {
      return param.strValue;
    }
  }
  return "(none)";
}

// Before: of three requests written at once on one connection, only the first was answered.
TEST_F(CHostileClientTest, PipelinedRequestsAreAllAnsweredInOrder) {
  CRawConnection connection(Emulator().Port());
  std::string requests;
  for (int i = 0; i < 3; ++i) {
    requests += RawPost("/restserver.php", SignedForm("facebook.auth.createToken"));
  }
  ASSERT_TRUE(connection.Send(requests));
  std::vector<std::string> tokens;
  for (int i = 0; i < 3; ++i) {
    const auto answer = connection.ReadAnswer();
    ASSERT_TRUE(answer) << "answer " << i;
    EXPECT_EQ(answer->nStatus, 200);
    tokens.push_back(CXmlAnswer(answer->strBody).Text("/fb:auth_createToken_response"));
    EXPECT_EQ(tokens.back().size(), 32u);
  }
  EXPECT_NE(tokens[0], tokens[1]);
  EXPECT_NE(tokens[1], tokens[2]);
  ASSERT_EQ(Emulator().Calls().size(), 3u);
}

// Before: a client that shut down its sending side right after a whole request sometimes
// got no answer.
TEST_F(CHostileClientTest, AClientThatHalfClosesAfterItsRequestGetsTheAnswer) {
  for (int i = 0; i < 20; ++i) {
    CRawConnection connection(Emulator().Port());
    ASSERT_TRUE(connection.Send(RawPost("/restserver.php", SignedForm("auth.createToken"))));
    connection.ShutdownWrite();
    const auto answer = connection.ReadAnswer();
    ASSERT_TRUE(answer) << "attempt " << i;
    EXPECT_EQ(CXmlAnswer(answer->strBody).RootName(), "auth_createToken_response");
    EXPECT_TRUE(connection.ClosedWithin(5s));
  }
}

std::string Chunked(const std::string& body, std::size_t chunk) {
  std::string out;
  for (std::size_t at = 0; at < body.size(); at += chunk) {
    const std::string piece = body.substr(at, chunk);
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
    out += size + piece + "\r\n";
  }
  return out + "0\r\n\r\n";
}

// Before: a form over 8 KiB was refused; a chunked body had no limit; a gzip body was
// limited by its compressed size; Range headers cut API answers into parts.
TEST_F(CHostileClientTest, BodyLimitsApplyToWhatIsReadAndRangesAreIgnored) {
  const std::string pad(100 * 1024, 'p');
  const std::string huge(1536 * 1024, 'h');
  struct Case {
    const char* szName;
    std::string strHeaders;
    std::string strBody;
    int nStatus;
  };
  const Case cases[] = {
      {"a 100 KiB form", "", SignedForm("auth.createToken", {{"pad", pad}}), 200},
      {"a chunked form", "Transfer-Encoding: chunked\r\n",
       Chunked(SignedForm("auth.createToken"), 7), 200},
      {"a chunked body over 1 MiB", "Transfer-Encoding: chunked\r\n", Chunked(huge, 64 * 1024),
       413},
      {"a gzip form", "Content-Encoding: gzip\r\n", GzipForTest(SignedForm("auth.createToken")),
       200},
      {"a gzip body that unpacks past 1 MiB", "Content-Encoding: gzip\r\n",
       GzipForTest(std::string(4u * 1024 * 1024, 'z')), 413},
      {"a request for 300 ranges",
       "Range: bytes=" +
           [] {
             std::string ranges;
             for (int i = 0; i < 300; ++i) {
               ranges += (i ? "," : "") + std::to_string(i) + "-" + std::to_string(i + 100);
             }
             return ranges;
           }() +
           "\r\n",
       SignedForm("auth.createToken"), 200},
  };
  for (const Case& test : cases) {
    CRawConnection connection(Emulator().Port());
    // The large bodies are not forms, which have a limit of their own.
    std::string request =
        "POST /restserver.php HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " +
        std::string(test.nStatus == 200 ? "application/x-www-form-urlencoded" : "text/plain") +
        "\r\n" + test.strHeaders;
    if (test.strHeaders.find("chunked") == std::string::npos) {
      request += "Content-Length: " + std::to_string(test.strBody.size()) + "\r\n";
    }
    connection.Send(request + "\r\n" + test.strBody);
    const auto answer = connection.ReadAnswer();
    ASSERT_TRUE(answer) << test.szName;
    EXPECT_EQ(answer->nStatus, test.nStatus) << test.szName;
    EXPECT_EQ(answer->Header("Content-Range"), "") << test.szName;
    if (test.nStatus == 200) {
      EXPECT_EQ(CXmlAnswer(answer->strBody).RootName(), "auth_createToken_response")
          << test.szName << ": " << answer->strBody.substr(0, 200);
    }
  }
  const std::vector<CallRecord> calls = Emulator().Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(ParamOf(calls[0], "pad"), pad);
  EXPECT_TRUE(calls[0].bSignatureValid);
}

// Before: multipart parameters came back sorted by name, and a part with an empty name was
// taken as a parameter.
TEST_F(CHostileClientTest, MultipartPartsAreReadInOrderLikeAForm) {
  ParamMap signedParams = Client().Signed("auth.createToken", {{"zeta", "3"}, {"alpha", "2"}});
  const std::vector<std::pair<std::string, std::string>> parts = {
      {"zeta", "1"},
      {"method", signedParams["method"]},
      {"", "nameless"},
      {"alpha", "2"},
      {"api_key", signedParams["api_key"]},
      {"call_id", signedParams["call_id"]},
      {"v", "1.0"},
      {"zeta", "3"},
      {"sig", signedParams["sig"]}};
  std::string body = "preamble\r\n";
  for (const auto& [name, value] : parts) {
    body +=
        "--XyZ\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
  }
  body +=
      "--XyZ\r\nContent-Disposition: form-data; name=\"upload\"; filename=\"a.txt\"\r\n"
      "Content-Type: text/plain\r\n\r\nfile text\r\n--XyZ--\r\n";
  CRawConnection connection(Emulator().Port());
  connection.Send(RawPost("/restserver.php", body, "", "multipart/form-data; boundary=\"XyZ\""));
  const auto answer = connection.ReadAnswer();
  ASSERT_TRUE(answer);
  EXPECT_EQ(CXmlAnswer(answer->strBody).RootName(), "auth_createToken_response") << answer->strBody;

  const std::vector<CallRecord> calls = Emulator().Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(calls[0].bSignatureValid);
  std::vector<std::string> names;
  for (const RequestParam& param : calls[0].aParams) {
    names.push_back(param.strName);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"zeta", "method", "alpha", "api_key", "call_id", "v",
                                             "sig"}));
  EXPECT_EQ(calls[0].aParams[0].strValue, "3");
}

// Before: the call log was bounded by count alone, so ten thousand calls of 1 MiB each held
// ten gigabytes.
TEST_F(CHostileClientTest, TheCallLogIsBoundedBySize) {
  for (int i = 0; i < 20; ++i) {
    const std::string mark = std::to_string(i) + std::string(1000 * 1000, 'm');
    const auto result = Client().PostForm(SignedForm("auth.createToken", {{"pad", mark}}));
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 200);
  }
  const std::vector<CallRecord> calls = Emulator().Calls();
  std::size_t bytes = 0;
  for (const CallRecord& call : calls) {
    for (const RequestParam& param : call.aParams) {
      bytes += param.strName.size() + param.strValue.size();
    }
  }
  EXPECT_LE(bytes, 16u * 1024 * 1024);
  EXPECT_GE(calls.size(), 10u);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(ParamOf(calls.back(), "pad").substr(0, 2), "19");
}

// Before: Stop waited for as long as slow clients went on sending, and for a client that did
// not read its answer.
TEST(StopTest, StopEndsEveryConnectionWithinTwoSeconds) {
  CRestEmulator emulator(ParseScenario(kTestScenario, 0));
  const int port = emulator.Start();
  CSlowSenders slow(port, 20, 50ms);
  ASSERT_EQ(slow.Connected(), 20);
  // A client that asks for a large answer and reads none of it.
  FaultSpec oversized;
  oversized.strMethod = "*";
  oversized.kind = FaultKind::kOversized;
  oversized.nBytes = 64u * 1024 * 1024;
  emulator.InjectFault(oversized);
  CRestTestClient signer(port);
  CRawConnection stalled(port);
  stalled.Send(RawPost("/restserver.php", FormEncode(signer.Signed("auth.createToken"))));
  std::this_thread::sleep_for(500ms);

  const auto start = std::chrono::steady_clock::now();
  auto stopped = std::async(std::launch::async, [&emulator] { emulator.Stop(); });
  const bool bInTime = stopped.wait_for(2s) == std::future_status::ready;
  slow.Stop();  // lets a Stop that is still waiting finish, so that a failure ends the test
  stopped.wait();
  EXPECT_TRUE(bInTime) << "Stop took "
                       << std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - start)
                              .count()
                       << " ms";
  EXPECT_TRUE(stalled.ClosedWithin(2s));
}

}  // namespace
