// The REST client's two hot paths against the library work they cannot avoid: building and
// signing a status request against MD5 alone over the same bytes, and reading a 100-friend
// FQL answer into user records against a bare libxml2 parse of the same text. Also the log
// line of a hostile answer of the largest size read, against the client's parse of it.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/deployment.h"
#include "common/logger.h"
#include "facebook/call_result.h"
#include "facebook/facebook_client.h"
#include "facebook/http_post.h"
#include "facebook/request_params.h"
#include "facebook/response_log.h"
#include "facebook/response_parser.h"
#include "platform/http_transport.h"
#include "platform/libxml2/libxml2_parser.h"
#include "platform/md5.h"
#include "platform/posix/posix_clock.h"
#include "platform/xml_parser.h"

namespace {

const std::string kApiKey = "0150d6925355f74dff20415d3695ae34";
const std::string kSessionKey = "5f34e11bfb97c762e439e6a5-8055";
const std::string kSessionSecret = "ohairoflamao12345";
const std::string kStatus = "is listening to Daft Punk - Around the World (Radio Edit)";

// Parsing needs a client, which needs a transport; this one is never asked to send.
class CNoTransport : public IHttpTransport {
 public:
  std::unique_ptr<IHttpSession> OpenSession(const std::string&) override { return nullptr; }
};

// The pairs of a status post, added as the client adds them.
void AddStatusParams(CFacebookParams& params, CCallIdSource& callIds) {
  AddParam(params, "status", kStatus);
  AddParam(params, "status_includes_verb", "true");
  AddStandardParams(params, kApiKey, callIds, "facebook.users.setStatus", kSessionKey, "1.0");
}

void BM_BuildAndSignStatusRequest(benchmark::State& state) {
  CPosixClock clock;
  CCallIdSource callIds(clock);
  for (auto _ : state) {
    CFacebookParams params;
    AddStatusParams(params, callIds);
    benchmark::DoNotOptimize(BuildRequestBody(params, kSessionSecret));
  }
}
BENCHMARK(BM_BuildAndSignStatusRequest);

void BM_Md5OfTheSignatureBase(benchmark::State& state) {
  CPosixClock clock;
  CCallIdSource callIds(clock);
  CFacebookParams params;
  AddStatusParams(params, callIds);
  BuildRequestBody(params, kSessionSecret);
  params.m_aParams.pop_back();  // "sig"
  const std::string base = JoinParams(params, false) + kSessionSecret;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ComputeMd5(base));
  }
}
BENCHMARK(BM_Md5OfTheSignatureBase);

std::string FriendsAnswer() {
  std::string answer =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<fql_query_response "
      "xmlns=\"http://api.facebook.com/1.0/\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" list=\"true\">\n";
  for (int i = 0; i < 100; ++i) {
    const std::string n = std::to_string(i);
    answer += "  <user>\n    <uid>" + std::to_string(1240000 + i) + "</uid>\n    <name>Friend " +
              n + " Lastname</name>\n    <status>\n      <message>is thinking about status " + n +
              " and what comes after it</message>\n      <time>" + std::to_string(1170000000 + i) +
              "</time>\n    </status>\n    <birthday>November " + std::to_string(1 + i % 28) +
              ", 1980</birthday>\n  </user>\n";
  }
  return answer + "</fql_query_response>\n";
}

void BM_ParseFriendsIntoUserInfo(benchmark::State& state) {
  CNoTransport transport;
  CLibxml2Parser parser;
  CPosixClock clock;
  CLogger logger("fap", nullptr);
  DeploymentConfig config = GetDeploymentConfig();
  CFacebookClient client(config, transport, parser, clock, logger);
  const std::string answer = FriendsAnswer();
  for (auto _ : state) {
    FacebookCallResult result;
    result.nStatus = 1;
    result.strResponse = answer;
    ParseResponse(client, result);
    std::vector<std::shared_ptr<IXmlNode>> nodes;
    result.pRoot->SelectAll(L"nfb:user", &nodes);
    std::vector<UserInfo> friends(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      CFacebookClient::ReadUserInfo(friends[i], nodes[i].get());
    }
    if (friends.size() != 100 || friends[99].wBirthdayDay == 0) {
      state.SkipWithError("the answer was not read");
    }
    benchmark::DoNotOptimize(friends.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_ParseFriendsIntoUserInfo);

void BM_BareLibxml2ParseOfTheSameText(benchmark::State& state) {
  xmlInitParser();
  const std::string answer = FriendsAnswer();
  for (auto _ : state) {
    xmlDocPtr doc = xmlReadMemory(answer.data(), static_cast<int>(answer.size()), nullptr, "UTF-8",
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    benchmark::DoNotOptimize(doc);
    xmlFreeDoc(doc);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_BareLibxml2ParseOfTheSameText);

// An answer of kMaxResponseBytes made of one piece over and over: 0 unended tags, 1 keys
// without ends, 2 values, 3 distinct secrets. Masking it for the log once scanned the rest of
// the answer for every tag, or every earlier sibling for every value: minutes to hours.
std::string HostileAnswer(std::int64_t shape) {
  std::string answer = "<r>";
  answer.reserve(kMaxResponseBytes + 64);
  for (std::size_t i = 0; answer.size() < kMaxResponseBytes - 64; ++i) {
    switch (shape) {
      case 0:
        answer += "<a>";
        break;
      case 1:
        answer += "<key>";
        break;
      case 2:
        answer += "<value/>";
        break;
      default:
        answer += "<secret>s" + std::to_string(i) + "</secret>";
        break;
    }
  }
  return answer + "</r>";
}

void BM_LogLineOfAHostileAnswer(benchmark::State& state) {
  CLibxml2Parser parser;
  const std::string answer = HostileAnswer(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatResponseForLog(answer, kLoggedResponseBytes, &parser));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_LogLineOfAHostileAnswer)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_ParseOfTheSameHostileAnswer(benchmark::State& state) {
  CNoTransport transport;
  CLibxml2Parser parser;
  CPosixClock clock;
  CLogger logger("fap", nullptr);
  CFacebookClient client(GetDeploymentConfig(), transport, parser, clock, logger);
  const std::string answer = HostileAnswer(state.range(0));
  for (auto _ : state) {
    FacebookCallResult result;
    result.strResponse = answer;
    ParseResponse(client, result);
    benchmark::DoNotOptimize(result.nStatus);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_ParseOfTheSameHostileAnswer)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace
