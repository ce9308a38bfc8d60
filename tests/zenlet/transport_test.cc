// The two transports and the hub between them: late subscribers see the picture as it
// stands, the page's server refuses every request without its token, and the batch mode
// carries command lines in and event lines out.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/zenlet/batch_transport.h"
#include "tools/zenlet/event_hub.h"
#include "tools/zenlet/page_server.h"

namespace {

using json = nlohmann::ordered_json;

std::vector<std::string> Drain(CEventHub::CSubscription& subscription) {
  std::vector<std::string> events;
  while (std::optional<std::string> event = subscription.Next(std::chrono::milliseconds(0))) {
    events.push_back(json::parse(*event).at("event").get<std::string>() +
                     (json::parse(*event).contains("explorer")
                          ? std::to_string(json::parse(*event)["explorer"].get<int>())
                          : ""));
  }
  return events;
}

TEST(EventHubTest, ALateSubscriberFirstGetsThePictureAsItStands) {
  CEventHub hub;
  hub.Publish({{"event", "ready"}});
  hub.Publish({{"event", "explorers"}, {"open", {1, 2}}});
  hub.Publish({{"event", "toolbar"}, {"explorer", 1}});
  hub.Publish({{"event", "toolbar"}, {"explorer", 2}});
  hub.Publish({{"event", "cursor"}, {"busy", true}});
  hub.Publish({{"event", "message_box"}, {"box", 1}, {"explorer", 1}});
  hub.Publish({{"event", "message_box"}, {"box", 2}, {"explorer", 1}});
  hub.Publish({{"event", "message_box_closed"}, {"box", 1}});
  hub.Publish({{"event", "open_url"}, {"url", "http://x/"}});
  hub.Publish({{"event", "toolbar"}, {"explorer", 1}, {"logged_in", true}});
  hub.Publish({{"event", "explorers"}, {"open", {1}}});

  std::shared_ptr<CEventHub::CSubscription> late = hub.Subscribe();
  EXPECT_EQ(Drain(*late),
            (std::vector<std::string>{"ready", "explorers", "toolbar1", "cursor", "message_box1"}));
  hub.Publish({{"event", "cursor"}, {"busy", false}});
  hub.Publish({{"event", "bye"}});
  hub.Close();
  EXPECT_EQ(Drain(*late), (std::vector<std::string>{"cursor", "bye"}));
  EXPECT_TRUE(late->Ended());

  // Once the cursor is idle again, the picture leaves it out; after the close nothing more.
  std::shared_ptr<CEventHub::CSubscription> after = hub.Subscribe();
  EXPECT_EQ(Drain(*after),
            (std::vector<std::string>{"ready", "explorers", "toolbar1", "message_box1"}));
  EXPECT_TRUE(after->Ended());
}

TEST(EventHubTest, TextThatIsNotUtf8IsReplacedNotThrownOn) {
  CEventHub hub;
  std::shared_ptr<CEventHub::CSubscription> subscription = hub.Subscribe();
  hub.Publish({{"event", "error"}, {"message", std::string("bad \xff byte")}});
  const std::optional<std::string> event = subscription->Next(std::chrono::milliseconds(0));
  ASSERT_TRUE(event);
  EXPECT_EQ(json::parse(*event)["message"], "bad \xef\xbf\xbd byte");
}

class CPageServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(m_server.Bind(0, &error)) << error;
  }
  void TearDown() override {
    m_hub.Close();
    m_server.Stop();
  }

  CEventHub m_hub;
  std::mutex m_mutex;
  std::vector<std::string> m_aCommands;
  CPageServer m_server{m_hub, [this](std::string_view line) {
                         std::lock_guard<std::mutex> lock(m_mutex);
                         m_aCommands.emplace_back(line);
                       }};
};

TEST_F(CPageServerTest, EveryRequestWithoutTheTokenIsRefused) {
  httplib::Client client("127.0.0.1", m_server.Port());
  const std::string wrong = std::string(m_server.Token().size(), '0');
  for (const std::string& query : {std::string(), "?token=" + wrong, std::string("?token=")}) {
    for (const char* path : {"/", "/events", "/favicon.ico"}) {
      const httplib::Result answer = client.Get((path + query).c_str());
      ASSERT_TRUE(answer) << path << query;
      EXPECT_EQ(answer->status, 403) << path << query;
      EXPECT_EQ(answer->body.find("<html"), std::string::npos);
    }
    const httplib::Result posted =
        client.Post(("/command" + query).c_str(), R"({"cmd":"quit"})", "application/json");
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, 403);
  }
  httplib::Headers wrongHeader{{"X-Zenlet-Token", wrong}};
  EXPECT_EQ(client.Post("/command", wrongHeader, R"({"cmd":"quit"})", "application/json")->status,
            403);
  std::lock_guard<std::mutex> lock(m_mutex);
  EXPECT_TRUE(m_aCommands.empty());
}

TEST_F(CPageServerTest, WithTheTokenThePageCommandsAndEventsGoThrough) {
  httplib::Client client("127.0.0.1", m_server.Port());
  const std::string token = "?token=" + m_server.Token();
  EXPECT_EQ(m_server.PageAddress(),
            "http://127.0.0.1:" + std::to_string(m_server.Port()) + "/" + token);
  const httplib::Result page = client.Get(("/" + token).c_str());
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("new EventSource"), std::string::npos);

  httplib::Headers header{{"X-Zenlet-Token", m_server.Token()}};
  const httplib::Result posted =
      client.Post("/command", header, R"({"cmd":"snapshot"})", "application/json");
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->status, 202);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    EXPECT_EQ(m_aCommands, (std::vector<std::string>{R"({"cmd":"snapshot"})"}));
  }

  // The stream starts with the picture, goes on with what is published, and ends with the hub.
  m_hub.Publish({{"event", "ready"}, {"version", "x"}});
  std::thread publisher([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    m_hub.Publish({{"event", "bye"}});
    m_hub.Close();
  });
  std::string stream;
  httplib::Client listener("127.0.0.1", m_server.Port());
  listener.set_read_timeout(10);
  const httplib::Result events =
      listener.Get(("/events" + token).c_str(), [&](const char* data, std::size_t size) {
        stream.append(data, size);
        return true;
      });
  publisher.join();
  ASSERT_TRUE(events);
  EXPECT_EQ(events->get_header_value("Content-Type"), "text/event-stream");
  EXPECT_EQ(stream,
            "data: {\"event\":\"ready\",\"version\":\"x\"}\n\ndata: {\"event\":\"bye\"}\n\n");
}

TEST_F(CPageServerTest, AConnectionThatSaysNothingDoesNotHoldTheQuit) {
  // The server's stop waits for every connection: a silent one, or a browser's kept-alive
  // one, held the program's end for five seconds after the user quit.
  const int silent = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(m_server.Port()));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(silent, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  httplib::Client client("127.0.0.1", m_server.Port());
  client.set_keep_alive(true);
  ASSERT_TRUE(client.Get("/?token=" + m_server.Token()));

  const auto start = std::chrono::steady_clock::now();
  m_hub.Close();
  m_server.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  close(silent);
}

TEST(PageServerBindTest, APortInUseIsRefused) {
  CEventHub hub;
  CPageServer first(hub, [](std::string_view) {});
  CPageServer second(hub, [](std::string_view) {});
  std::string error;
  ASSERT_TRUE(first.Bind(0, &error));
  EXPECT_FALSE(second.Bind(first.Port(), &error));
  EXPECT_NE(error.find("in use"), std::string::npos) << error;
}

TEST(BatchTransportTest, LinesInEventsOutAndTheEndOfInputEndsIt) {
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  std::FILE* output = std::tmpfile();
  ASSERT_NE(output, nullptr);
  CEventHub hub;
  std::mutex mutex;
  std::vector<std::string> got;
  bool bEnded = false;
  CBatchTransport::Handlers handlers;
  handlers.submit = [&](std::string_view line) {
    std::lock_guard<std::mutex> lock(mutex);
    got.emplace_back(line);
  };
  handlers.inputEnded = [&] {
    std::lock_guard<std::mutex> lock(mutex);
    bEnded = true;
  };
  handlers.refuse = [&](const std::string& why) {
    std::lock_guard<std::mutex> lock(mutex);
    got.push_back("refused: " + why);
  };
  CBatchTransport batch(input[0], output, hub, handlers);
  batch.Start();
  hub.Publish({{"event", "ready"}});
  const std::string lines = "{\"cmd\":\"snapshot\"}\n\n   \n" +
                            std::string(CBatchTransport::kLongestLine + 5, 'x') +
                            "\n{\"cmd\":\"quit\"}\r\nlast without end";
  ASSERT_EQ(write(input[1], lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
  close(input[1]);
  for (int i = 0; i < 500; ++i) {
    std::lock_guard<std::mutex> lock(mutex);
    if (bEnded) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  hub.Publish({{"event", "bye"}});
  hub.Close();
  batch.Stop();
  close(input[0]);
  EXPECT_TRUE(bEnded);
  EXPECT_EQ(got, (std::vector<std::string>{"{\"cmd\":\"snapshot\"}",
                                           "refused: a command line is longer than 1048576 bytes",
                                           "{\"cmd\":\"quit\"}\r", "last without end"}));
  std::rewind(output);
  char text[256] = {};
  const std::size_t size = std::fread(text, 1, sizeof text - 1, output);
  std::fclose(output);
  EXPECT_EQ(std::string(text, size), "{\"event\":\"ready\"}\n{\"event\":\"bye\"}\n");
}

}  // namespace
