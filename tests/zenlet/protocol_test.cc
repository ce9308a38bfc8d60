// The program's command line and the driver's commands: what is taken, and what is refused
// with which reason; what the browsers send from a page; a pasted face in the toolbar event.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_dib.h"
#include "tools/restemu/site_pages.h"
#include "tools/zenlet/command_line.h"
#include "tools/zenlet/driver_command.h"
#include "tools/zenlet/driver_events.h"
#include "tools/zenlet/page_form.h"

namespace {

TEST(CommandLineTest, OptionsAreReadAndBadOnesRefusedWithTheirReason) {
  struct Case {
    std::vector<std::string> args;
    std::string strError;  // a part of the expected error; empty: accepted
  };
  const Case cases[] = {
      {{}, ""},
      {{"--port", "8080", "--explorers", "3", "--outlook-version", "11.0.0.8312", "--open"}, ""},
      {{"--batch", "--auto-ok", "--no-auto-browser", "--data-dir", "/tmp/z"}, ""},
      {{"--service", "http://127.0.0.1:9000/"}, ""},
      {{"--service", "http://localhost"}, ""},
      {{"--service", "https://127.0.0.1:9000/"}, ""},
      {{"--service", "https://[::1]:9443"}, ""},
      {{"--service", "http://example.org/"}, "plain HTTP is only for a service on this machine"},
      {{"--service", "http://127.0.0.1.example.org/"}, "plain HTTP is only"},
      {{"--service", "ftp://127.0.0.1/"}, "root address"},
      {{"--service", "http://127.0.0.1:9000/api/"}, "root address"},
      {{"--service", "http://127.0.0.1:0/"}, "root address"},
      {{"--service", "http://user@host/"}, "root address"},
      {{"--service"}, "--service needs a value"},
      {{"--port", "65536"}, "0 to 65535"},
      {{"--port", "-1"}, "0 to 65535"},
      {{"--port", "80x"}, "0 to 65535"},
      {{"--explorers", "17"}, "0 to 16"},
      {{"--data-dir", ""}, "needs a folder"},
      {{"--batch", "--port", "8080"}, "--batch serves no page"},
      {{"--batch", "--open"}, "--batch serves no page"},
      {{"--frobnicate"}, "unknown argument: --frobnicate"},
  };
  for (const Case& test : cases) {
    const CommandLine line = ParseCommandLine(test.args);
    const std::string args = ::testing::PrintToString(test.args);
    if (test.strError.empty()) {
      EXPECT_EQ(line.strError, "") << args;
    } else {
      EXPECT_NE(line.strError.find(test.strError), std::string::npos)
          << args << " gave: " << line.strError;
    }
  }

  const ProgramOptions options =
      ParseCommandLine({"--port", "8080", "--explorers", "3", "--service", "https://example.org/"})
          .options;
  EXPECT_EQ(options.nPagePort, 8080);
  EXPECT_EQ(options.nExplorers, 3);
  EXPECT_EQ(options.strServiceUrl, "https://example.org:443/");
  EXPECT_EQ(ParseCommandLine({"--service", "http://localhost"}).options.strServiceUrl,
            "http://localhost:80/");
  EXPECT_EQ(ParseCommandLine({}).options.strOutlookVersion, "16.0.0.4266");
  EXPECT_EQ(ParseCommandLine({}).options.nExplorers, 1);
}

TEST(CommandLineTest, HelpNamesEveryOptionAndCommand) {
  const std::string help = HelpText();
  for (const char* word : {"--port",
                           "--service",
                           "--data-dir",
                           "--explorers",
                           "--outlook-version",
                           "--batch",
                           "--no-auto-browser",
                           "--auto-ok",
                           "--open",
                           "--help",
                           "--version",
                           "\"click\"",
                           "\"type\"",
                           "\"choose\"",
                           "\"pick\"",
                           "\"snapshot\"",
                           "\"timer\"",
                           "\"wait\"",
                           "\"new_explorer\"",
                           "\"activate\"",
                           "\"close\"",
                           "\"ok\"",
                           "\"quit\""}) {
    EXPECT_NE(help.find(word), std::string::npos) << word;
  }
}

TEST(DriverCommandTest, CommandsAreReadAndBadLinesRefusedWithTheirReason) {
  struct Case {
    const char* szLine;
    std::string strError;  // a part of the expected error; empty: accepted
  };
  const std::string kDeepRef =
      R"({"cmd":"ok","ref":)" + std::string(50000, '[') + std::string(50000, ']') + "}";
  const Case cases[] = {
      {R"({"cmd":"click","explorer":1,"id":2})", ""},
      {R"({"cmd":"type","explorer":2,"text":"is at home \u00e9"})", ""},
      {R"({"cmd":"choose","explorer":1,"index":3})", ""},
      {R"({"cmd":"pick","explorer":1,"index":2})", ""},
      {R"({"cmd":"wait","ms":250})", ""},
      {R"(  {"cmd":"snapshot"}  )", ""},
      {R"({"cmd":"new_explorer"})", ""},
      {R"({"cmd":"ok","ref":[1,"two"]})", ""},
      {"not json", "not valid JSON"},
      {"{\"cmd\":\"type\",\"explorer\":1,\"text\":\"\xff\"}", "text: not valid UTF-8"},
      {R"([1,2])", "a command is a JSON object"},
      {R"({"explorer":1})", "cmd: missing"},
      {R"({"cmd":7})", "cmd: expected a text"},
      {R"({"cmd":"dance"})", "unknown command \"dance\""},
      {R"({"cmd":"click","explorer":1})", "id: missing"},
      {R"({"cmd":"click","id":2})", "explorer: missing"},
      {R"({"cmd":"click","explorer":"1","id":2})", "explorer: expected a whole number"},
      {R"({"cmd":"click","explorer":0,"id":2})", "explorer: expected a number from 1"},
      {R"({"cmd":"click","explorer":1,"id":2,"extra":true})", "extra: unknown field"},
      {R"({"cmd":"snapshot","explorer":1})", "explorer: unknown field"},
      {R"({"cmd":"pick","explorer":1,"index":0})", "index: expected a number from 1"},
      {R"({"cmd":"wait","ms":600001})", "ms: expected a number from 0 to 600000"},
      {R"({"cmd":"type","explorer":1,"text":null})", "text: expected a text"},
      // Deep enough to overflow the stack of whatever copies or writes it back.
      {kDeepRef.c_str(), "nested more than 64 levels deep"},
      // A key holding a NUL, followed by text that is not UTF-8, made a message that began
      // with the raw key: the refusal read as an empty text and said nothing. What a sender
      // wrote is quoted in a message with every byte visible.
      {"{\"\\u0000\":\"\xc2x\"}", R"("\u0000": not valid UTF-8)"},
      {R"({"cmd":"ok","a\nb":1})", R"("a\nb": unknown field)"},
      {R"({"cmd":"da\u0000nce"})", R"(unknown command "da\u0000nce")"},
  };
  for (const Case& test : cases) {
    std::string error;
    const std::optional<DriverCommand> command = ParseDriverCommand(test.szLine, &error);
    if (test.strError.empty()) {
      EXPECT_TRUE(command.has_value()) << test.szLine << " gave: " << error;
    } else {
      EXPECT_FALSE(command.has_value()) << test.szLine;
      EXPECT_NE(error.find(test.strError), std::string::npos) << test.szLine << " gave: " << error;
    }
  }

  std::string error;
  const DriverCommand typed =
      *ParseDriverCommand(R"({"cmd":"type","explorer":2,"text":"is at caf\u00e9"})", &error);
  EXPECT_EQ(typed.kind, CommandKind::kType);
  EXPECT_EQ(typed.nExplorer, 2);
  EXPECT_EQ(typed.strText, L"is at caf\u00e9");
  const DriverCommand click =
      *ParseDriverCommand(R"({"cmd":"click","explorer":1,"id":10})", &error);
  EXPECT_EQ(click.nId, 10);
  EXPECT_TRUE(click.ref.is_null());
  EXPECT_EQ(ParseDriverCommand(R"({"cmd":"ok","ref":[1,"two",{"a":null}]})", &error)->ref.dump(),
            R"([1,"two",{"a":null}])");
  // A refused command still hands back its ref, so the sender can tell which one failed.
  nlohmann::ordered_json ref;
  EXPECT_FALSE(
      ParseDriverCommand(R"({"cmd":"click","explorer":1,"ref":{"step":3}})", &error, &ref));
  EXPECT_EQ(ref.dump(), R"({"step":3})");
  EXPECT_STREQ(CommandName(CommandKind::kNewExplorer), "new_explorer");
}

using Fields = std::vector<std::pair<std::string, std::string>>;

TEST(PageFormTest, TheServicesPagesAreSentAsAUserPressingTheirFirstButtonSendsThem) {
  const std::optional<PageForm> login = ReadPageForm(LoginPage("Dana", "k1", "t&<2>\"", "1.0"));
  ASSERT_TRUE(login);
  EXPECT_EQ(login->strMethod, "post");
  EXPECT_EQ(login->strAction, "/login.php");
  // An unnamed submit button adds nothing; the hidden fields come back as they were.
  EXPECT_EQ(login->aFields, (Fields{{"api_key", "k1"}, {"auth_token", "t&<2>\""}, {"v", "1.0"}}));

  const std::optional<PageForm> allow =
      ReadPageForm(AuthorizePage("Dana", "k1", "1.0", "status_update"));
  ASSERT_TRUE(allow);
  EXPECT_EQ(allow->strAction, "/authorize.php");
  EXPECT_EQ(allow->aFields.back(), (std::pair<std::string, std::string>{"decision", "allow"}));
  EXPECT_EQ(EncodeFormFields(allow->aFields),
            "api_key=k1&v=1.0&ext_perm=status_update&decision=allow");
  EXPECT_EQ(EncodeFormFields({{"a b", "x&y=z"}}), "a%20b=x%26y%3Dz");

  EXPECT_FALSE(ReadPageForm("<html><body><p>Inbox</p></body></html>"));
  EXPECT_FALSE(ReadPageForm("<form action=\"/x\">never closed"));
}

TEST(ToolbarEventTest, AFacePastedFromTheClipboardShowsAsTheBitmapsOfficeTook) {
  PixelImage face{2, 2, {0xD4E8FD, 0x3B5998, 0xFFFFFF, 0xD4E8FD}};
  PixelImage mask{2, 2, {0xFFFFFF, 0, 0, 0xFFFFFF}};
  SimBarState bar;
  bar.strName = kZenletBarName;
  SimControlState button;
  button.aPastedFace = EncodeDib24(face);
  button.aPastedMask = EncodeDibMask(mask);
  bar.aControls.push_back(button);

  nlohmann::ordered_json event = ToolbarEvent(1, bar, false)["facebook_button"];
  EXPECT_TRUE(event["pasted"].get<bool>());
  EXPECT_EQ(event["face"]["pixels"].get<std::vector<std::uint32_t>>(), face.aPixels);
  EXPECT_EQ(event["mask"]["pixels"].get<std::vector<std::uint32_t>>(), mask.aPixels);

  bar.aControls[0].aPastedFace = {1, 2, 3};  // not a bitmap Office could have taken
  bar.aControls[0].aPastedMask.clear();
  event = ToolbarEvent(1, bar, false)["facebook_button"];
  EXPECT_TRUE(event["face"].is_null());
  EXPECT_TRUE(event["mask"].is_null());
}

}  // namespace
