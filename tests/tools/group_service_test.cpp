// The local group-contact service, asked over loopback with httplib's client: in-process for its
// answers, and as the program that scripts/demo starts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>

#include "group_service.h"

extern char** environ;

namespace joincode::tools {
namespace {

// The service on a free loopback port for the length of a test.
class GroupServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddGroupServiceRoutes(server_, &log_);
    port_ = server_.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port_, 0);
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  void TearDown() override {
    server_.stop();
    if (thread_.joinable())
      thread_.join();
  }

  httplib::Result Get(const std::string& target) {
    httplib::Client client("127.0.0.1", port_);
    client.set_url_encode(false);  // targets go out byte for byte, as the program sends them
    return client.Get(target.c_str());
  }

  httplib::Server server_;
  RequestLog log_;
  int port_ = 0;
  std::thread thread_;
};

const std::string kKeyMarker = "\"key\":\"";
const std::string kKeyEnd = "\"}]}}";

// The text between the first `left` and the first `right` after it; empty when either is missing.
std::string Between(const std::string& text, const std::string& left, const std::string& right) {
  size_t start = text.find(left);
  if (start == std::string::npos)
    return {};
  start += left.size();
  size_t end = text.find(right, start);
  return end == std::string::npos ? "" : text.substr(start, end - start);
}

TEST_F(GroupServiceTest, KeyRequestAnswersTheGroupKeyBetweenTheMarkers) {
  struct Case {
    const char* name;
    std::string guin;
    std::string key;  // empty: no key between the markers
  };
  const Case cases[] = {
      {"default group", "%5B6986280%5D", "5f0c9e41b7d2a86e3c15f0d9a4b7e2c8"},
      {"lower-case escapes", "%5b6986280%5d", "5f0c9e41b7d2a86e3c15f0d9a4b7e2c8"},
      {"spaces-only param group", "%5B20130601%5D", "b19e4d07c6a35f28e0d7a1c94b6f3e52"},
      {"key with reserved characters", "%5B31415926%5D", "k&v=1+2"},
      {"unknown group", "%5B12345%5D", ""},
      {"empty brackets", "%5B%5D", ""},
      {"number without brackets", "6986280", ""},
      {"answer without key markers", "%5B27182818%5D", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto result = Get("/wpa/g_wpa_get?guin=" + c.guin + "&_=1370516986390");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(Between(result->body, kKeyMarker, kKeyEnd), c.key);
    EXPECT_EQ(result->get_header_value("Content-Type"), "application/json");
  }
}

TEST_F(GroupServiceTest, UnknownGroupGetsAnEmptyKeyList) {
  auto result = Get("/wpa/g_wpa_get?guin=%5B999%5D&_=1370516986390");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->body, R"({"ec":0,"data":{"key":[]}})");
}

TEST_F(GroupServiceTest, PageRequestAnswersTheParamBetweenTheMarkers) {
  struct Case {
    const char* name;
    std::string key;
    bool hasParam;
    std::string param;
  };
  const Case cases[] = {
      {"default group", "5f0c9e41b7d2a86e3c15f0d9a4b7e2c8", true,
       "Xc3vQk8ZpL2sNw7TfR0yHb6MjD9uAe4G"},
      {"spaces-only param", "b19e4d07c6a35f28e0d7a1c94b6f3e52", true, "   "},
      // The key travels unescaped, so its "&" and "=" reach the server as query syntax.
      {"key with reserved characters", "k&v=1+2", true, "PiGroup+Param/With=Slashes"},
      {"unknown key", "00000000", false, ""},
      {"empty key", "", false, ""},
      {"prefix of a known key", "5f0c9e41", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto result = Get("/wpa/qunwpa?idkey=" + c.key);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->body.find("u0026param=") != std::string::npos, c.hasParam);
    EXPECT_EQ(Between(result->body, "\\u0026param=", "\";"), c.param);
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8");
  }
}

TEST_F(GroupServiceTest, OtherPathsAreNotFound) {
  auto result = Get("/wpa/other?guin=%5B6986280%5D");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 404);
}

TEST_F(GroupServiceTest, LogKeepsRequestLinesAndHeaderLinesInOrderOfArrival) {
  httplib::Client client("127.0.0.1", port_);
  ASSERT_TRUE(client.Get("/wpa/g_wpa_get?guin=%5B6986280%5D&_=1370516986390",
                         {{"Referer", "http://example.invalid/x"}, {"Accept-Language", "zh-cn"}}));
  ASSERT_TRUE(client.Get("/wpa/qunwpa?idkey=abc"));

  auto records = log_.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].RequestLine(),
            "GET /wpa/g_wpa_get?guin=%5B6986280%5D&_=1370516986390 HTTP/1.1");
  EXPECT_EQ(records[1].RequestLine(), "GET /wpa/qunwpa?idkey=abc HTTP/1.1");
  const auto& lines = records[0].headerLines;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Referer: http://example.invalid/x"),
            lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Accept-Language: zh-cn"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Host: 127.0.0.1:" + std::to_string(port_)),
            lines.end());
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    EXPECT_EQ(line.find("REMOTE_"), std::string::npos);
    EXPECT_EQ(line.find("LOCAL_"), std::string::npos);
  }
  EXPECT_TRUE(records[0].body.empty());

  log_.Clear();
  EXPECT_TRUE(log_.Records().empty());
}

TEST(PercentDecodeTest, DecodesEscapesAndKeepsEverythingElse) {
  struct Case {
    const char* name;
    std::string text;
    std::string decoded;
  };
  const Case cases[] = {
      {"brackets", "%5B6986280%5D", "[6986280]"},
      {"lower-case digits", "%5b%5d", "[]"},
      {"high byte", "%C8%BA", std::string("\xC8\xBA", 2)},
      {"plus stays", "a+b", "a+b"},
      {"lone percent at the end", "50%", "50%"},
      {"one digit before the end", "%5", "%5"},
      {"not hex", "%G1x", "%G1x"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PercentDecode(c.text), c.decoded);
  }
}

TEST(RawQueryValueTest, FindsTheNamedParameterWithoutDecoding) {
  struct Case {
    const char* name;
    std::string target;
    std::string value;
  };
  const Case cases[] = {
      {"first parameter", "/p?guin=%5B1%5D&_=2", "%5B1%5D"},
      {"last parameter", "/p?_=2&guin=%5B1%5D", "%5B1%5D"},
      {"empty value", "/p?guin=&_=2", ""},
      {"missing", "/p?_=2", ""},
      {"longer name is not a match", "/p?guinx=1&guin=2", "2"},
      {"no query", "/p", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RawQueryValue(c.target, "guin"), c.value);
  }
}

// The program itself, as scripts/demo runs it: prints its port, answers, stops on a signal.
class GroupServiceProgramTest : public ::testing::TestWithParam<int> {};

// Reads one line from `fd`, giving up after `timeoutMs` without data.
std::string ReadLine(int fd, int timeoutMs) {
  std::string line;
  char c = 0;
  pollfd pfd{fd, POLLIN, 0};
  while (poll(&pfd, 1, timeoutMs) > 0 && read(fd, &c, 1) == 1 && c != '\n')
    line.push_back(c);
  return line;
}

TEST_P(GroupServiceProgramTest, PrintsItsPortAnswersAndStopsOnSignal) {
  int signal = GetParam();
  SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGINT");
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  char path[] = GROUP_SERVICE_PATH;
  char dump[] = "--dump-headers";
  char* argv[] = {path, dump, nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, path, &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);

  std::string first = ReadLine(out[0], 10000);
  const std::string prefix = "listening on 127.0.0.1:";
  ASSERT_EQ(first.substr(0, prefix.size()), prefix) << first;
  int port = std::stoi(first.substr(prefix.size()));

  httplib::Client client("127.0.0.1", port);
  auto result = client.Get("/wpa/g_wpa_get?guin=%5B6986280%5D&_=1370516986390");
  ASSERT_TRUE(result);
  EXPECT_EQ(Between(result->body, kKeyMarker, kKeyEnd), "5f0c9e41b7d2a86e3c15f0d9a4b7e2c8");
  EXPECT_EQ(ReadLine(out[0], 10000),
            "GET /wpa/g_wpa_get?guin=%5B6986280%5D&_=1370516986390 HTTP/1.1 -> 200");
  bool sawHost = false;
  for (std::string line = ReadLine(out[0], 10000); line.rfind("  ", 0) == 0;
       line = ReadLine(out[0], 10000)) {
    sawHost = sawHost || line == "  Host: 127.0.0.1:" + std::to_string(port);
    if (line.rfind("  (body:", 0) == 0)
      break;
  }
  EXPECT_TRUE(sawHost);

  ASSERT_EQ(kill(pid, signal), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  close(out[0]);
}

INSTANTIATE_TEST_SUITE_P(StopSignals, GroupServiceProgramTest, ::testing::Values(SIGTERM, SIGINT));

TEST(GroupServiceProgramUsageTest, RefusesUnknownArguments) {
  pid_t pid = 0;
  char path[] = GROUP_SERVICE_PATH;
  char bad[] = "--bogus";
  char* argv[] = {path, bad, nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  ASSERT_EQ(posix_spawn(&pid, path, &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
}  // namespace joincode::tools
