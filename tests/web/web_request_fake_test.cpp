// WebRequest against a recording stand-in for the internet layer: the exact operations and
// arguments it hands down, and what it makes of the answers it gets back.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/inet.h"
#include "text/convert.h"
#include "web/web_request.h"

namespace joincode {
namespace {

namespace inet = platform;

const std::string kAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Qvix; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";
const std::string kDefaults =
    "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";

std::string Quoted(const char* text) {
  return text == nullptr ? "null" : "\"" + std::string(text) + "\"";
}
std::string Quoted(const char* text, int32_t length) {
  if (text == nullptr)
    return "null";
  return "\"" + std::string(text, static_cast<size_t>(length < 0 ? 0 : length)) + "\"";
}
std::string Hex(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", value);
  return buffer;
}

// Records every call as one line and answers from what the test set up.
class RecordingInternet : public inet::Internet {
 public:
  bool failOpen = false;
  bool failConnect = false;
  bool failRequest = false;
  std::string body;
  std::string headerBlock = "HTTP/1.1 200 OK\r\n\r\n";
  std::vector<std::string> calls;

  RecordingInternet() : previous_(inet::SetInternet(this)) {}
  ~RecordingInternet() override { inet::SetInternet(previous_); }

  inet::InternetHandle Open(const char* agent, int32_t accessType, const char* proxyList,
                            const char* bypassList, uint32_t flags) override {
    calls.push_back("Open(" + Quoted(agent) + ", " + std::to_string(accessType) + ", " +
                    Quoted(proxyList) + ", " + Quoted(bypassList) + ", " + Hex(flags) + ")");
    return failOpen ? nullptr : NewHandle();
  }
  inet::InternetHandle Connect(inet::InternetHandle session, const char* host, int32_t port,
                               const char* userName, const char* password, int32_t service,
                               uint32_t flags, uintptr_t context) override {
    calls.push_back("Connect(" + Name(session) + ", " + Quoted(host) + ", " + std::to_string(port) +
                    ", " + Quoted(userName) + ", " + Quoted(password) + ", " +
                    std::to_string(service) + ", " + Hex(flags) + ", " + std::to_string(context) +
                    ")");
    return failConnect ? nullptr : NewHandle();
  }
  inet::InternetHandle OpenRequest(inet::InternetHandle connection, const char* verb,
                                   const char* object, const char* version, const char* referrer,
                                   const char* const* acceptTypes, uint32_t flags,
                                   uintptr_t context) override {
    calls.push_back("OpenRequest(" + Name(connection) + ", " + Quoted(verb) + ", " +
                    Quoted(object) + ", " + Quoted(version) + ", " + Quoted(referrer) + ", " +
                    (acceptTypes == nullptr ? "null" : "types") + ", " + Hex(flags) + ", " +
                    std::to_string(context) + ")");
    return failRequest ? nullptr : NewHandle();
  }
  bool SendRequest(inet::InternetHandle request, const char* headers, int32_t headersLength,
                   const void* optional, int32_t optionalLength) override {
    calls.push_back("SendRequest(" + Name(request) + ", " + Quoted(headers, headersLength) + ", " +
                    std::to_string(headersLength) + ", " +
                    Quoted(static_cast<const char*>(optional), optionalLength) + ", " +
                    std::to_string(optionalLength) + ")");
    return true;
  }
  bool ReadFile(inet::InternetHandle request, void* buffer, int32_t bytesToRead,
                int32_t* bytesRead) override {
    const size_t count = std::min(static_cast<size_t>(bytesToRead), body.size() - readPosition_);
    std::memcpy(buffer, body.data() + readPosition_, count);
    readPosition_ += count;
    *bytesRead = static_cast<int32_t>(count);
    calls.push_back("ReadFile(" + Name(request) + ", " + std::to_string(bytesToRead) + ") -> " +
                    std::to_string(count));
    return true;
  }
  bool QueryInfo(inet::InternetHandle request, int32_t infoLevel, void* buffer,
                 int32_t* bufferLength, int32_t* index) override {
    const std::string blanks(5000, ' ');
    calls.push_back("QueryInfo(" + Name(request) + ", " + std::to_string(infoLevel) + ", " +
                    (std::memcmp(buffer, blanks.data(), 5000) == 0 ? "blanks" : "dirty") + ", " +
                    std::to_string(*bufferLength) + ", " + (index == nullptr ? "null" : "index") +
                    ")");
    if (static_cast<int32_t>(headerBlock.size()) + 1 > *bufferLength) {
      *bufferLength = static_cast<int32_t>(headerBlock.size()) + 1;
      return false;
    }
    std::memcpy(buffer, headerBlock.c_str(), headerBlock.size() + 1);
    *bufferLength = static_cast<int32_t>(headerBlock.size());
    return true;
  }
  bool CloseHandle(inet::InternetHandle handle) override {
    calls.push_back("CloseHandle(" + Name(handle) + ")");
    return true;
  }

 private:
  inet::InternetHandle NewHandle() {
    return reinterpret_cast<inet::InternetHandle>(static_cast<uintptr_t>(++handles_));
  }
  static std::string Name(inet::InternetHandle handle) {
    return "#" + std::to_string(reinterpret_cast<uintptr_t>(handle));
  }

  inet::Internet* previous_;
  int handles_ = 0;
  size_t readPosition_ = 0;
};

std::vector<std::string> Tail(const std::string& send) {
  return {send,
          "ReadFile(#3, 1024) -> 0",
          "QueryInfo(#3, 22, blanks, 5000, null)",
          "CloseHandle(#3)",
          "CloseHandle(#2)",
          "CloseHandle(#1)"};
}

// --- What goes down to the layer ---------------------------------------------------------------

TEST(WebRequestFakeTest, HandsTheLayerTheExpectedCalls) {
  const std::string url = "http://qun.example.test/wpa/g_wpa_get?guin=%5B6986280%5D&_=1";
  const std::string referer = "Referer: " + url;
  const std::string plainRequest =
      "OpenRequest(#2, \"GET\", \"/wpa/g_wpa_get?guin=%5B6986280%5D&_=1\", \"HTTP/1.1\", null, "
      "null, 0x80084010, 0)";
  const std::string plainConnect = "Connect(#1, \"qun.example.test\", 80, null, null, 3, 0x0, 0)";
  auto headerSend = [](const std::string& headers, const std::string& data) {
    return "SendRequest(#3, \"" + headers + "\", " + std::to_string(headers.size()) + ", " + data +
           ")";
  };
  struct Case {
    const char* name;
    std::string url;
    Text extraHeaders;
    int32_t method;
    Text postText;
    Bytes postBytes;
    Text sentCookies;
    bool noRedirect;
    std::optional<Text> proxy;
    std::vector<std::string> expected;
  };
  auto calls = [](std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const std::string open = "Open(\"" + kAgent + "\", 1, null, null, 0x0)";
  const std::vector<Case> cases = {
      {"workflow GET with every option left out", url, "", 0, "", Bytes(), "", false, std::nullopt,
       calls({open, plainConnect, plainRequest}, Tail(headerSend(referer + kDefaults, "\"\", 0")))},
      {"User-Agent line without CRLF sets the agent", url, "User-Agent: Probe/1.0", 0, "", Bytes(),
       "", false, std::nullopt,
       calls({"Open(\"Probe/1.0\", 1, null, null, 0x0)", plainConnect, plainRequest},
             Tail(headerSend("User-Agent: Probe/1.0\r\n" + referer + kDefaults, "\"\", 0")))},
      {"lower-case user-agent line still sets the agent", url, "user-agent: low/2\r\n", 0, "",
       Bytes(), "", false, std::nullopt,
       calls({"Open(\"low/2\", 1, null, null, 0x0)", plainConnect, plainRequest},
             Tail(headerSend("user-agent: low/2\r\n\r\n" + referer + kDefaults, "\"\", 0")))},
      {"lower-case referer line does not stop the default one", url, "referer: http://r/", 0, "",
       Bytes(), "", false, std::nullopt,
       calls({open, plainConnect, plainRequest},
             Tail(headerSend("referer: http://r/\r\n" + referer + kDefaults, "\"\", 0")))},
      {"POST with postText only sends its bytes", url, "", 1, "a=1", Bytes(), "", false,
       std::nullopt,
       calls({open, plainConnect,
              "OpenRequest(#2, \"POST\", \"/wpa/g_wpa_get?guin=%5B6986280%5D&_=1\", "
              "\"HTTP/1.1\", null, null, 0x80084010, 0)"},
             Tail(headerSend(referer + kDefaults, "\"a=1\", 3")))},
      {"POST with both bodies empty sends no data", url, "", 1, "", Bytes(), "", false,
       std::nullopt,
       calls({open, plainConnect,
              "OpenRequest(#2, \"POST\", \"/wpa/g_wpa_get?guin=%5B6986280%5D&_=1\", "
              "\"HTTP/1.1\", null, null, 0x80084010, 0)"},
             Tail(headerSend(referer + kDefaults, "null, 0")))},
      {"method 2 is GET with a body", url, "", 2, "", Bytes(std::string("x\0y", 3)), "", false,
       std::nullopt,
       calls({open, plainConnect, plainRequest},
             Tail(headerSend(referer + kDefaults, std::string("\"x\0y\", 3", 8))))},
      {"cookies go in a Cookie line as given", url, "", 0, "", Bytes(), "b=1; c=3", false,
       std::nullopt,
       calls({open, plainConnect, plainRequest},
             Tail(headerSend(referer + kDefaults + "\r\nCookie: b=1; c=3", "\"\", 0")))},
      {"caller's lines suppress the defaults by name", url,
       "Accept: text/html\r\nContent-Type: text/plain", 0, "", Bytes(), "", false, std::nullopt,
       calls({open, plainConnect, plainRequest},
             Tail(headerSend("Accept: text/html\r\nContent-Type: text/plain\r\n" + referer +
                                 "\r\nAccept-Language: zh-cn",
                             "\"\", 0")))},
      {"https URL: port 443 and the secure flag", "HTTPS://Secure.Example.Test/p", "", 0, "",
       Bytes(), "", false, std::nullopt,
       calls({open, "Connect(#1, \"secure.example.test\", 443, null, null, 3, 0x0, 0)",
              "OpenRequest(#2, \"GET\", \"/p\", \"HTTP/1.1\", null, null, 0x80880010, 0)"},
             Tail(headerSend("Referer: HTTPS://Secure.Example.Test/p" + kDefaults, "\"\", 0")))},
      {"noRedirect adds its flag", "http://h.test:81/", "", 0, "", Bytes(), "", true, std::nullopt,
       calls({open, "Connect(#1, \"h.test\", 81, null, null, 3, 0x0, 0)",
              "OpenRequest(#2, \"GET\", \"/\", \"HTTP/1.1\", null, null, 0x80284010, 0)"},
             Tail(headerSend("Referer: http://h.test:81/" + kDefaults, "\"\", 0")))},
      {"a supplied proxy selects the proxy type", url, "", 0, "", Bytes(), "", false,
       Text("127.0.0.1:3128"),
       calls({"Open(\"" + kAgent + "\", 3, \"http=127.0.0.1:3128\", \"\", 0x0)", plainConnect,
              plainRequest},
             Tail(headerSend(referer + kDefaults, "\"\", 0")))},
      {"a supplied empty proxy still selects the proxy type", url, "", 0, "", Bytes(), "", false,
       Text(""),
       calls({"Open(\"" + kAgent + "\", 3, \"http=\", \"\", 0x0)", plainConnect, plainRequest},
             Tail(headerSend(referer + kDefaults, "\"\", 0")))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingInternet fake;
    Text extraHeaders = c.extraHeaders;
    Bytes postBytes = c.postBytes;
    Text sentCookies = c.sentCookies;
    const Bytes result = WebRequest(c.url, {.method = c.method,
                                            .postText = c.postText,
                                            .sentCookies = &sentCookies,
                                            .extraHeaders = &extraHeaders,
                                            .noRedirect = c.noRedirect,
                                            .postBytes = &postBytes,
                                            .proxy = c.proxy});
    EXPECT_EQ(fake.calls, c.expected);
    EXPECT_TRUE(result.empty());
  }
}

TEST(WebRequestFakeTest, WritesTheSentHeaderTextAndPostBytesBack) {
  RecordingInternet fake;
  Text extraHeaders = "X-A: 1";
  Bytes postBytes;
  (void)WebRequest(
      "http://h.test/x",
      {.method = 1, .postText = "p=q", .extraHeaders = &extraHeaders, .postBytes = &postBytes});
  EXPECT_EQ(extraHeaders, Text("X-A: 1\r\nReferer: http://h.test/x" + kDefaults));
  EXPECT_EQ(postBytes, Bytes(std::string_view("p=q")));

  // Passed again: the first Referer stays, no default is added twice, the bytes win over the text.
  fake.calls.clear();
  (void)WebRequest(
      "http://h.test/y",
      {.method = 1, .postText = "other", .extraHeaders = &extraHeaders, .postBytes = &postBytes});
  EXPECT_EQ(extraHeaders, Text("X-A: 1\r\nReferer: http://h.test/x" + kDefaults));
  ASSERT_GE(fake.calls.size(), 4u);
  EXPECT_EQ(fake.calls[3], "SendRequest(#6, \"X-A: 1\r\nReferer: http://h.test/x" + kDefaults +
                               "\", " + std::to_string(extraHeaders.size()) + ", \"p=q\", 3)");
}

// --- Failed openings --------------------------------------------------------------------------

TEST(WebRequestFakeTest, FailedOpeningLeavesEveryParameterAlone) {
  struct Case {
    const char* name;
    bool failOpen, failConnect, failRequest;
    std::vector<std::string> closes;
  };
  const std::vector<Case> cases = {
      {"internet handle", true, false, false, {}},
      {"connection", false, true, false, {"CloseHandle(#1)"}},
      {"request", false, false, true, {"CloseHandle(#2)", "CloseHandle(#1)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingInternet fake;
    fake.failOpen = c.failOpen;
    fake.failConnect = c.failConnect;
    fake.failRequest = c.failRequest;
    fake.body = "never read";
    Text sent = "a = 1", received = "r", headers = "X: y", location = "", raw = "raw";
    Bytes postBytes;
    const Bytes result = WebRequest("http://h.test/", {.method = 1,
                                                       .postText = "body",
                                                       .sentCookies = &sent,
                                                       .receivedCookies = &received,
                                                       .extraHeaders = &headers,
                                                       .location = &location,
                                                       .postBytes = &postBytes,
                                                       .rawHeaders = &raw});
    EXPECT_TRUE(result.empty());
    EXPECT_EQ(sent, Text("a = 1"));
    EXPECT_EQ(received, Text("r"));
    EXPECT_EQ(headers, Text("X: y"));
    EXPECT_EQ(location, Text(""));
    EXPECT_EQ(raw, Text("raw"));
    EXPECT_TRUE(postBytes.empty());
    const size_t openings = c.failOpen ? 1 : c.failConnect ? 2 : 3;
    ASSERT_EQ(fake.calls.size(), openings + c.closes.size());
    const std::vector<std::string> closes(fake.calls.begin() + static_cast<long>(openings),
                                          fake.calls.end());
    EXPECT_EQ(closes, c.closes);
  }
}

// --- What comes back ---------------------------------------------------------------------------

TEST(WebRequestFakeTest, ReadsTheBodyInChunksAndKeepsEveryByte) {
  RecordingInternet fake;
  std::string body(2500, 'b');
  body[0] = '\0';
  body[2499] = '\xFF';
  fake.body = body;
  const Bytes result = WebRequest("http://h.test/");
  EXPECT_EQ(result, Bytes(body));
  const std::vector<std::string> reads(fake.calls.begin() + 4, fake.calls.begin() + 8);
  EXPECT_EQ(reads,
            (std::vector<std::string>{"ReadFile(#3, 1024) -> 1024", "ReadFile(#3, 1024) -> 1024",
                                      "ReadFile(#3, 1024) -> 452", "ReadFile(#3, 1024) -> 0"}));
}

TEST(WebRequestFakeTest, TextResultEndsAtTheFirstZeroByte) {
  RecordingInternet fake;
  fake.body = std::string("ab\0cd", 5);
  EXPECT_EQ(WebRequestText("http://h.test/"), Text("ab"));
}

TEST(WebRequestFakeTest, TakesLocationAndCookiesFromTheHeaderBlock) {
  struct Case {
    const char* name;
    std::string headerBlock;
    Text sentBefore;
    Text locationBefore;
    Text received;
    Text sentAfter;
    Text location;  // "=raw" stands for the whole header block
  };
  const std::vector<Case> cases = {
      {"two cookies merged into the jar",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2; HttpOnly\r\n\r\n",
       "b=1; c=3", "", "a=1;b=2", "a=1; b=2; c=3", "=raw"},
      {"a deleted cookie leaves the jar",
       "HTTP/1.1 200 OK\r\nSet-Cookie: sid=deleted; path=/\r\n\r\n", "sid=7", "", "sid=deleted", "",
       "=raw"},
      {"lower-case set-cookie is not taken", "HTTP/1.1 200 OK\r\nset-cookie: a=1; path=/\r\n\r\n",
       "", "", "", "", "=raw"},
      // Regression: a cookie without attributes used to come out empty and be lost.
      {"a cookie without attributes is kept", "HTTP/1.1 200 OK\r\nSet-Cookie: sid=7\r\n\r\n", "",
       "", "sid=7", "sid=7", "=raw"},
      // Only the missing ";" is mended: a cookie with an empty pair still leaves an empty entry.
      {"an empty pair before its attributes stays empty",
       "HTTP/1.1 200 OK\r\nSet-Cookie: ; path=/\r\nSet-Cookie: k=v\r\n\r\n", "", "", ";k=v",
       "; k=v", "=raw"},
      {"location value taken", "HTTP/1.1 302 Found\r\nLocation:  http://h:81/next \r\n\r\n", "", "",
       "", "", "http://h:81/next"},
      {"a later matching line wins",
       "HTTP/1.1 200 OK\r\nLocation: /a\r\nContent-Location: /b\r\n\r\n", "", "", "", "", "/b"},
      {"a location held on entry is kept without a Location line", "HTTP/1.1 200 OK\r\n\r\n", "",
       "earlier", "", "", "earlier"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingInternet fake;
    fake.headerBlock = c.headerBlock;
    Text sent = c.sentBefore, received = "stale", location = c.locationBefore, raw;
    (void)WebRequest("http://h.test/", {.sentCookies = &sent,
                                        .receivedCookies = &received,
                                        .location = &location,
                                        .rawHeaders = &raw});
    EXPECT_EQ(raw, Text(c.headerBlock));
    EXPECT_EQ(received, c.received);
    EXPECT_EQ(sent, c.sentAfter);
    EXPECT_EQ(location, c.location == Text("=raw") ? raw : c.location);
  }
}

TEST(WebRequestFakeTest, HeaderBlockThatDoesNotFitLeavesBlanks) {
  struct Case {
    const char* name;
    size_t blockBytes;  // without the NUL
    bool fits;
  };
  const std::vector<Case> cases = {
      {"4999 bytes and the NUL fit", 4999, true},
      {"5000 bytes need one more", 5000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingInternet fake;
    const std::string head = "HTTP/1.1 200 OK\r\nSet-Cookie: n=v\r\nX: ";
    fake.headerBlock = head + std::string(c.blockBytes - head.size() - 4, 'x') + "\r\n\r\n";
    Text sent = "a = 1", received, location, raw;
    (void)WebRequest("http://h.test/", {.sentCookies = &sent,
                                        .receivedCookies = &received,
                                        .location = &location,
                                        .rawHeaders = &raw});
    if (c.fits) {
      EXPECT_EQ(raw, Text(fake.headerBlock));
      EXPECT_EQ(received, Text("n=v"));
      EXPECT_EQ(sent, Text("n=v; a=1"));
    } else {
      EXPECT_EQ(raw, BlankText(5000));
      EXPECT_EQ(location, BlankText(5000));
      EXPECT_EQ(received, Text(""));
      EXPECT_EQ(sent, Text("a=1"));  // the merge still runs
    }
  }
}

}  // namespace
}  // namespace joincode
