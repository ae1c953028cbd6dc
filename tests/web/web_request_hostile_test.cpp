// WebRequest over the libcurl layer against loopback servers that misbehave on purpose. Every call
// must end within the shortened time-outs plus two seconds and leave exactly what the routine's
// rules promise: an empty body and 5000 blanks when nothing usable came back, the body read so far
// once a complete header block has arrived, and the cookies and Location of the final answer only.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/inet.h"
#include "support/test_certificates.h"
#include "text/convert.h"
#include "web/hostile_server.h"
#include "web/web_request.h"

namespace joincode {
namespace {

namespace inet = platform;
using namespace std::chrono_literals;
using testing::Close;
using testing::Director;
using testing::Endless;
using testing::HostileServer;
using testing::Pause;
using testing::RequestHead;
using testing::Reset;
using testing::Script;
using testing::Send;
using testing::SendSlowly;
using testing::StaySilent;
using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kConnectTimeout = 1000ms;
constexpr std::chrono::seconds kIdleTimeout = 1s;
constexpr int64_t kBodyCap = 64 * 1024;
constexpr int32_t kMaxRedirects = 4;
// No call may take longer than this, whatever the server does.
constexpr auto kBound = kConnectTimeout + kIdleTimeout + 2s;

class LimitsScope {
 public:
  explicit LimitsScope(const inet::InternetLimits& limits)
      : previous_(inet::SetInternetLimits(limits)) {}
  ~LimitsScope() { inet::SetInternetLimits(previous_); }
  LimitsScope(const LimitsScope&) = delete;
  LimitsScope& operator=(const LimitsScope&) = delete;

 private:
  inet::InternetLimits previous_;
};

inet::InternetLimits ShortLimits(std::string caFile = "") {
  inet::InternetLimits limits;
  limits.connectTimeout = kConnectTimeout;
  limits.idleTimeout = kIdleTimeout;
  limits.maxBodyBytes = kBodyCap;
  limits.maxRedirects = kMaxRedirects;
  limits.testCaFile = std::move(caFile);
  return limits;
}

// What a call must leave behind. Every call starts with the cookie jar "keep = 1".
struct Outcome {
  std::string body;                     // WebRequest's result, NUL bytes included
  std::optional<std::string> headers;   // the raw header block; none: the 5000 blanks
  std::optional<std::string> location;  // none: a copy of the raw headers
  std::string received;
  std::string jar = "keep=1";

  Outcome Located(std::string value) const {
    Outcome copy = *this;
    copy.location = std::move(value);
    return copy;
  }
  Outcome Cookies(std::string receivedPairs, std::string jarAfter) const {
    Outcome copy = *this;
    copy.received = std::move(receivedPairs);
    copy.jar = std::move(jarAfter);
    return copy;
  }
};

Outcome Failed() {
  return Outcome();
}
Outcome Answered(std::string head, std::string body) {
  Outcome outcome;
  outcome.body = std::move(body);
  outcome.headers = std::move(head);
  return outcome;
}
Outcome WithoutHeaders(std::string body) {
  Outcome outcome;
  outcome.body = std::move(body);
  return outcome;
}

struct Result {
  Bytes body;
  Text jar = "keep = 1", received = "stale", extraHeaders, location, raw = "stale";
  Clock::duration elapsed{};
};

Result Call(const std::string& url, bool noRedirect = false) {
  Result r;
  const Clock::time_point start = Clock::now();
  r.body = WebRequest(url, {.sentCookies = &r.jar,
                            .receivedCookies = &r.received,
                            .extraHeaders = &r.extraHeaders,
                            .location = &r.location,
                            .noRedirect = noRedirect,
                            .rawHeaders = &r.raw});
  r.elapsed = Clock::now() - start;
  return r;
}

std::string SentHeaderText(const std::string& url) {
  return "Referer: " + url +
         "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
         "application/x-www-form-urlencoded\r\nCookie: keep = 1";
}

void ExpectOutcome(const Result& r, const Outcome& expected) {
  EXPECT_LT(r.elapsed, kBound)
      << "took " << std::chrono::duration_cast<std::chrono::milliseconds>(r.elapsed).count()
      << " ms";
  EXPECT_EQ(r.body.str(), expected.body);
  const Text headers = expected.headers ? Text(*expected.headers) : BlankText(5000);
  EXPECT_EQ(r.raw, headers);
  EXPECT_EQ(r.location, expected.location ? Text(*expected.location) : r.raw);
  EXPECT_EQ(r.received, Text(expected.received));
  EXPECT_EQ(r.jar, Text(expected.jar));
}

// --- Building answers --------------------------------------------------------------------------

const std::string kOk = "HTTP/1.1 200 OK\r\n";

std::string Head(const std::string& lines) {
  return kOk + lines + "\r\n";
}
std::string Sized(size_t bodyLength) {
  return Head("Content-Length: " + std::to_string(bodyLength) + "\r\n");
}
const std::string kChunked = Head("Transfer-Encoding: chunked\r\n");

// A header block of exactly `size` bytes (status line to blank line) for a body of two bytes.
std::string HeadOfSize(size_t size) {
  const std::string fixed = Sized(2);
  const std::string frame = "X-Pad: \r\n";
  std::string lines;
  size_t padding = size - fixed.size();
  while (padding > 0) {
    const size_t line = std::min<size_t>(padding, 1000);
    const size_t fill = line > frame.size() ? line - frame.size() : 0;
    lines += "X-Pad: " + std::string(fill, 'p') + "\r\n";
    padding -= std::min(padding, frame.size() + fill);
  }
  std::string head = fixed;
  head.insert(head.size() - 2, lines);
  return head;
}

std::string ManyLines(const std::string& prefix, int count) {
  std::string lines;
  for (int i = 0; i < count; ++i)
    lines += prefix + std::to_string(i) + "=v" + std::to_string(i) + "; path=/\r\n";
  return lines;
}

std::string CookiePairs(int count, const std::string& separator) {
  std::string pairs;
  for (int i = 0; i < count; ++i)
    pairs += (i ? separator : "") + "c" + std::to_string(i) + "=v" + std::to_string(i);
  return pairs;
}

// --- One misbehaving connection ----------------------------------------------------------------

struct Case {
  const char* name;
  Script script;
  Outcome expected;
  bool readRequestFirst = true;
};

void RunCases(const std::vector<Case>& cases) {
  LimitsScope limits(ShortLimits());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostileServer server(c.script, c.readRequestFirst);
    ASSERT_TRUE(server.ok());
    const std::string url = server.Url("/hostile?x=1");
    const Result r = Call(url);
    ExpectOutcome(r, c.expected);
    // Every case got as far as sending: the whole header text is the caller's afterwards.
    EXPECT_EQ(r.extraHeaders, Text(SentHeaderText(url)));
    EXPECT_EQ(server.Connections(), 1);
    if (c.readRequestFirst && server.Connections() == 1) {
      const std::string head = RequestHead(server.Requests()[0]);
      EXPECT_TRUE(head.starts_with("GET /hostile?x=1 HTTP/1.1\r\n")) << head;
      EXPECT_NE(head.find("\r\nCookie: keep = 1"), std::string::npos) << head;
    }
  }
}

TEST(WebRequestHostileTest, SilenceAndAbortedConnections) {
  RunCases({
      {"closes before reading the request", {Close()}, Failed(), false},
      {"resets before reading the request", {Reset()}, Failed(), false},
      {"accepts and stays silent", {StaySilent()}, Failed(), false},
      {"reads the request and closes without a word", {Close()}, Failed()},
      {"reads the request and resets", {Reset()}, Failed()},
      {"reads the request and stays silent", {StaySilent()}, Failed()},
      {"a status line, then silence", {Send(kOk), StaySilent()}, Failed()},
      {"half a status line, then the close", {Send("HTTP/1.1 2")}, Failed()},
      {"a reset in the middle of the head",
       {Send("HTTP/1.1 200 OK\r\nContent-Le"), Reset(300ms)},
       Failed()},
      {"a complete head, then silence", {Send(Sized(5)), StaySilent()}, Answered(Sized(5), "")},
      {"a reset in the middle of the body",
       {Send(Sized(10) + "12345"), Reset(300ms)},
       Answered(Sized(10), "12345")},
  });
}

TEST(WebRequestHostileTest, SlowAnswers) {
  RunCases({
      {"the whole answer a byte at a time",
       {SendSlowly(Sized(5) + "hello", 2ms)},
       Answered(Sized(5), "hello")},
      {"the head a byte at a time, the body at once",
       {SendSlowly(Sized(5), 3ms), Send("hello")},
       Answered(Sized(5), "hello")},
      {"pauses shorter than the idle time-out",
       {Send(Sized(5)), Pause(300ms), Send("hel"), Pause(300ms), Send("lo")},
       Answered(Sized(5), "hello")},
      {"a body trickling in, never idle for long",
       {Send(Sized(5)), SendSlowly("hello", 300ms)},
       Answered(Sized(5), "hello")},
      {"silence longer than the idle time-out before the head",
       {Pause(2500ms), Send(Sized(5) + "hello")},
       Failed()},
  });
}

// Regression: curl's low-speed check averages the speed over several seconds, so silence after
// body bytes used to end the transfer seconds late, and a pause longer than the time-out not at
// all.
TEST(WebRequestHostileTest, SilenceAfterBodyBytesEndsByTheIdleTimeout) {
  RunCases({
      {"part of the body, then silence",
       {Send(Sized(10) + "12345"), StaySilent()},
       Answered(Sized(10), "12345")},
      {"silence longer than the idle time-out in the body",
       {Send(Sized(10) + "12345"), Pause(2500ms), Send("67890")},
       Answered(Sized(10), "12345")},
  });
}

TEST(WebRequestHostileTest, LengthsThatLie) {
  RunCases({
      {"Content-Length longer than the body",
       {Send(Sized(10) + "12345")},
       Answered(Sized(10), "12345")},
      {"Content-Length shorter than the body",
       {Send(Sized(3) + "12345")},
       Answered(Sized(3), "123")},
      {"Content-Length 0 with bytes after it", {Send(Sized(0) + "12345")}, Answered(Sized(0), "")},
      {"no length: the body runs to the close",
       {Send(Head("") + "to the end")},
       Answered(Head(""), "to the end")},
      {"a negative Content-Length", {Send(Head("Content-Length: -1\r\n") + "12345")}, Failed()},
      {"a Content-Length that is no number",
       {Send(Head("Content-Length: abc\r\n") + "12345")},
       Failed()},
      {"a Content-Length beyond 64 bits runs to the close",
       {Send(Head("Content-Length: 99999999999999999999999\r\n") + "12345")},
       Answered(Head("Content-Length: 99999999999999999999999\r\n"), "12345")},
      {"an endless body without length is cut at the cap",
       {Send(Head("")), Endless(std::string(1000, 'e'))},
       Answered(Head(""), std::string(kBodyCap, 'e'))},
      {"an endless chunked body is cut at the cap",
       {Send(kChunked), Endless("3E8\r\n" + std::string(1000, 'c') + "\r\n")},
       Answered(kChunked, std::string(kBodyCap, 'c'))},
      {"a body of exactly the cap is whole",
       {Send(Sized(kBodyCap) + std::string(kBodyCap, 'x'))},
       Answered(Sized(kBodyCap), std::string(kBodyCap, 'x'))},
  });
}

TEST(WebRequestHostileTest, ChunkedBodies) {
  RunCases({
      {"well-formed chunks are joined",
       {Send(kChunked + "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n")},
       Answered(kChunked, "hello world")},
      {"cut in the middle of a chunk",
       {Send(kChunked + "5\r\nhello\r\n6\r\n wo")},
       Answered(kChunked, "hello wo")},
      {"the last chunk never comes",
       {Send(kChunked + "5\r\nhello\r\n")},
       Answered(kChunked, "hello")},
      {"a chunk size that is no number",
       {Send(kChunked + "5\r\nhello\r\nzz\r\nxx\r\n0\r\n\r\n")},
       Answered(kChunked, "hello")},
      {"a negative chunk size",
       {Send(kChunked + "5\r\nhello\r\n-5\r\nxx\r\n0\r\n\r\n")},
       Answered(kChunked, "hello")},
      {"a chunk size beyond 64 bits",
       {Send(kChunked + "FFFFFFFFFFFFFFFFFFFFFF\r\nxx\r\n")},
       Answered(kChunked, "")},
      {"a chunk size larger than the data",
       {Send(kChunked + "10\r\nhello")},
       Answered(kChunked, "hello")},
      {"NUL bytes inside a chunk",
       {Send(kChunked + std::string("5\r\na\0b\0c\r\n0\r\n\r\n", 15))},
       Answered(kChunked, std::string("a\0b\0c", 5))},
      {"chunking wins over a Content-Length",
       {Send(Head("Transfer-Encoding: chunked\r\nContent-Length: 3\r\n") +
             "5\r\nhello\r\n0\r\n\r\n")},
       Answered(Head("Transfer-Encoding: chunked\r\nContent-Length: 3\r\n"), "hello")},
      {"chunk extensions are skipped",
       {Send(kChunked + "5;name=value\r\nhello\r\n0\r\n\r\n")},
       Answered(kChunked, "hello")},
      {"trailers stay out of the header block",
       {Send(kChunked + "5\r\nhello\r\n0\r\nSet-Cookie: late=1; path=/\r\n\r\n")},
       Answered(kChunked, "hello")},
  });
}

TEST(WebRequestHostileTest, HeaderBlocksAroundTheBuffer) {
  const std::string around200k = Head(ManyLines("X-Line: l", 7'000) + "Content-Length: 2\r\n");
  const std::string over300k = Head(ManyLines("X-Line: l", 12'000) + "Content-Length: 2\r\n");
  ASSERT_GT(around200k.size(), 180'000u);
  ASSERT_LT(around200k.size(), 250'000u);
  ASSERT_GT(over300k.size(), 310'000u);
  ASSERT_EQ(HeadOfSize(4999).size(), 4999u);
  ASSERT_EQ(HeadOfSize(5000).size(), 5000u);
  RunCases({
      {"a block of 4999 bytes fits with its NUL",
       {Send(HeadOfSize(4999) + "ok")},
       Answered(HeadOfSize(4999), "ok")},
      {"a block of 5000 bytes does not", {Send(HeadOfSize(5000) + "ok")}, WithoutHeaders("ok")},
      {"a block of 6000 bytes does not", {Send(HeadOfSize(6000) + "ok")}, WithoutHeaders("ok")},
      {"a block of 200 KB still gives the body", {Send(around200k + "ok")}, WithoutHeaders("ok")},
      // More than curl takes in one head: the answer is refused as a whole.
      {"a block over 300 KB", {Send(over300k + "ok")}, Failed()},
      {"a single header line of 200 KB",
       {Send(Head("X-Long: " + std::string(200'000, 'l') + "\r\nContent-Length: 2\r\n") + "ok")},
       Failed()},
      {"endless header lines",
       {Send(kOk), Endless("X-Flood: " + std::string(200, 'f') + "\r\n")},
       Failed()},
      {"a status line of 10 KB",
       {Send("HTTP/1.1 200 " + std::string(10'000, 's') + "\r\nContent-Length: 2\r\n\r\nok")},
       WithoutHeaders("ok")},
      {"a status line of 200 KB",
       {Send("HTTP/1.1 200 " + std::string(200'000, 's') + "\r\nContent-Length: 2\r\n\r\nok")},
       Failed()},
      {"an endless status line",
       {Send("HTTP/1.1 200 "), Endless(std::string(1000, 's'))},
       Failed()},
  });
}

TEST(WebRequestHostileTest, MalformedHeaderLines) {
  const std::string bareLf =
      "HTTP/1.1 200 OK\nContent-Length: 2\nSet-Cookie: a=1; path=/\nLocation: /x\n\n";
  const std::string bareLfAsBlock =
      Head("Content-Length: 2\r\nSet-Cookie: a=1; path=/\r\nLocation: /x\r\n");
  const std::string mixed = "HTTP/1.1 200 OK\r\nContent-Length: 2\nSet-Cookie: b=2;\r\n\n";
  const std::string folded = Head("Content-Length: 2\r\nX-Folded: a\r\n  b\r\n");
  RunCases({
      {"a header line without a colon",
       {Send(Head("Content-Length: 2\r\nno colon here\r\n") + "ok")},
       Failed()},
      {"a NUL byte in a header line",
       {Send(Head(std::string("X-Nul: a\0b\r\nContent-Length: 2\r\n", 32)) + "ok")},
       Failed()},
      {"a NUL byte in the body",
       {Send(Sized(5) + std::string("a\0b\0c", 5))},
       Answered(Sized(5), std::string("a\0b\0c", 5))},
      {"bare LF line ends",
       {Send(bareLf + "ok")},
       Answered(bareLfAsBlock, "ok").Located("/x").Cookies("a=1", "a=1; keep=1")},
      {"CRLF and bare LF mixed",
       {Send(mixed + "ok")},
       Answered(Head("Content-Length: 2\r\nSet-Cookie: b=2;\r\n"), "ok")
           .Cookies("b=2", "b=2; keep=1")},
      {"bare CR line ends never end the head",
       {Send("HTTP/1.1 200 OK\rContent-Length: 2\r\rok")},
       Failed()},
      {"a folded header line is kept as it came", {Send(folded + "ok")}, Answered(folded, "ok")},
      {"no status line at all", {Send("just a body\r\n")}, Failed()},
      {"a status line that is not HTTP",
       {Send("HELLO 200 OK\r\nContent-Length: 2\r\n\r\nok")},
       Failed()},
      {"an unknown status code",
       {Send("HTTP/1.1 999 Odd\r\nContent-Length: 2\r\n\r\nok")},
       Answered("HTTP/1.1 999 Odd\r\nContent-Length: 2\r\n\r\n", "ok")},
  });
}

TEST(WebRequestHostileTest, StatusLinesAndInterimAnswers) {
  const std::string continued = "HTTP/1.1 100 Continue\r\n\r\n";
  std::string processing;
  for (int i = 0; i < 20; ++i)
    processing += "HTTP/1.1 102 Processing\r\nX-Step: " + std::to_string(i) + "\r\n\r\n";
  RunCases({
      {"an HTTP/1.0 answer with a length",
       {Send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok")},
       Answered("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\n", "ok")},
      {"an HTTP/1.0 answer running to the close",
       {Send("HTTP/1.0 200 OK\r\n\r\nall of it")},
       Answered("HTTP/1.0 200 OK\r\n\r\n", "all of it")},
      {"100 Continue and no final answer", {Send(continued), StaySilent()}, Failed()},
      {"100 Continue, then the close", {Send(continued)}, Failed()},
      {"100 Continue, then the answer",
       {Send(continued + Sized(2) + "ok")},
       Answered(Sized(2), "ok")},
      {"twenty interim answers, then the answer",
       {Send(processing + Sized(2) + "ok")},
       Answered(Sized(2), "ok")},
      {"204 without a body",
       {Send("HTTP/1.1 204 No Content\r\n\r\n")},
       Answered("HTTP/1.1 204 No Content\r\n\r\n", "")},
      {"a 500 answer is an answer",
       {Send("HTTP/1.1 500 Oops\r\nContent-Length: 4\r\n\r\nfail")},
       Answered("HTTP/1.1 500 Oops\r\nContent-Length: 4\r\n\r\n", "fail")},
  });
}

TEST(WebRequestHostileTest, CookiesAndLocationLines) {
  const std::string thousands = Head(ManyLines("Set-Cookie: c", 3000) + "Content-Length: 2\r\n");
  const std::string fifty = Head(ManyLines("Set-Cookie: c", 50) + "Content-Length: 2\r\n");
  const std::string lower = Head("set-cookie: a=1; path=/\r\nContent-Length: 2\r\n");
  const std::string deleted = Head("Set-Cookie: keep=deleted; path=/\r\nContent-Length: 2\r\n");
  const std::string bare = Head("Set-Cookie: sid=7\r\nContent-Length: 2\r\n");
  const std::string located =
      Head("Location: http://elsewhere.invalid:81/p\r\nContent-Length: 2\r\n");
  const std::string contentLocation = Head("Content-Location: /c\r\nContent-Length: 2\r\n");
  RunCases({
      {"thousands of Set-Cookie lines overflow the buffer",
       {Send(thousands + "ok")},
       WithoutHeaders("ok")},
      {"fifty Set-Cookie lines fit",
       {Send(fifty + "ok")},
       Answered(fifty, "ok").Cookies(CookiePairs(50, ";"), CookiePairs(50, "; ") + "; keep=1")},
      {"a lower-case set-cookie is not taken", {Send(lower + "ok")}, Answered(lower, "ok")},
      {"a deleted cookie leaves the jar",
       {Send(deleted + "ok")},
       Answered(deleted, "ok").Cookies("keep=deleted", "")},
      {"a cookie without attributes",
       {Send(bare + "ok")},
       Answered(bare, "ok").Cookies("sid=7", "sid=7; keep=1")},
      {"a Location on a 200 answer is not followed",
       {Send(located + "ok")},
       Answered(located, "ok").Located("http://elsewhere.invalid:81/p")},
      {"a Content-Location line counts too",
       {Send(contentLocation + "ok")},
       Answered(contentLocation, "ok").Located("/c")},
  });
}

// --- Addresses refused before anything is sent ------------------------------------------------

TEST(WebRequestHostileTest, RefusedAddressesKeepEveryParameter) {
  LimitsScope limits(ShortLimits());
  HostileServer server(Script{Send(Sized(2) + "ok")});
  ASSERT_TRUE(server.ok());
  struct Case {
    const char* name;
    std::string url;
  };
  const std::vector<Case> cases = {
      {"CR LF and a header line in the path", server.Url("/a\r\nX-Injected: 1")},
      {"a bare LF in the query", server.Url("/a?k=1\nX-Injected: 1")},
      {"a bare CR in the query", server.Url("/a?k=1\rX-Injected: 1")},
      {"a tab in the path", server.Url("/a\tb")},
      {"a DEL byte in the path", server.Url("/a\x7F")},
      {"no host at all", "http:///hostile"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Text jar = "keep = 1", received = "stale", extraHeaders = "X-Mine: 1", location = "somewhere",
         raw = "stale";
    Bytes postBytes(std::string_view("p=1"));
    const Clock::time_point start = Clock::now();
    const Bytes body = WebRequest(c.url, {.method = 1,
                                          .sentCookies = &jar,
                                          .receivedCookies = &received,
                                          .extraHeaders = &extraHeaders,
                                          .location = &location,
                                          .postBytes = &postBytes,
                                          .rawHeaders = &raw});
    EXPECT_LT(Clock::now() - start, kBound);
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(jar, Text("keep = 1"));
    EXPECT_EQ(received, Text("stale"));
    EXPECT_EQ(extraHeaders, Text("X-Mine: 1"));
    EXPECT_EQ(location, Text("somewhere"));
    EXPECT_EQ(raw, Text("stale"));
    EXPECT_EQ(postBytes.str(), "p=1");
  }
  EXPECT_EQ(server.Connections(), 0);
}

// --- Redirects ---------------------------------------------------------------------------------

// The request target of a recorded request.
std::string Target(const std::string& request) {
  const size_t start = request.find(' ');
  const size_t end = request.find(' ', start + 1);
  return start == std::string::npos || end == std::string::npos
             ? ""
             : request.substr(start + 1, end - start - 1);
}

std::string Redirect(const std::string& locationLine, const std::string& more = "") {
  return "HTTP/1.1 302 Found\r\n" + locationLine + more + "Content-Length: 5\r\n\r\nmoved";
}
std::string RedirectHead(const std::string& locationLine, const std::string& more = "") {
  const std::string whole = Redirect(locationLine, more);
  return whole.substr(0, whole.size() - 5);
}

struct RedirectCase {
  const char* name;
  Director director;
  bool noRedirect;
  Outcome expected;
  std::vector<std::string> targets;  // as received, in order
};

TEST(WebRequestHostileTest, Redirects) {
  LimitsScope limits(ShortLimits());
  const int refused = [] {
    HostileServer gone(Script{});
    return gone.port();
  }();
  ASSERT_GT(refused, 0);
  auto final = [](const std::string& target, std::string answer) {
    return [target, answer](int, const std::string& request) {
      return Target(request) == target ? Script{Send(answer)}
                                       : Script{Send(Redirect("Location: " + target + "\r\n"))};
    };
  };
  const std::string refusedUrl = "http://127.0.0.1:" + std::to_string(refused) + "/gone";
  const std::vector<RedirectCase> cases = {
      {"a redirect to itself ends after the hop limit",
       [](int, const std::string&) { return Script{Send(Redirect("Location: /hostile\r\n"))}; },
       false, Failed(), std::vector<std::string>(kMaxRedirects + 1, "/hostile")},
      {"a loop through two addresses",
       [](int, const std::string& request) {
         return Script{Send(Redirect(Target(request) == "/hostile" ? "Location: /b\r\n"
                                                                   : "Location: /hostile\r\n"))};
       },
       false,
       Failed(),
       {"/hostile", "/b", "/hostile", "/b", "/hostile"}},
      {"a loop is returned as it is with noRedirect",
       [](int, const std::string&) { return Script{Send(Redirect("Location: /hostile\r\n"))}; },
       true,
       Answered(RedirectHead("Location: /hostile\r\n"), "moved").Located("/hostile"),
       {"/hostile"}},
      {"a 302 without Location is the final answer",
       [](int, const std::string&) { return Script{Send(Redirect(""))}; },
       false,
       Answered(RedirectHead(""), "moved"),
       {"/hostile"}},
      {"an empty Location is the final answer",
       [](int, const std::string&) { return Script{Send(Redirect("Location: \r\n"))}; },
       false,
       Answered(RedirectHead("Location: \r\n"), "moved"),
       {"/hostile"}},
      {"a Location to another scheme is the final answer",
       [](int, const std::string&) {
         return Script{Send(Redirect("Location: file:///etc/passwd\r\n"))};
       },
       false,
       Answered(RedirectHead("Location: file:///etc/passwd\r\n"), "moved")
           .Located("file:///etc/passwd"),
       {"/hostile"}},
      {"a Location to a closed port",
       [refusedUrl](int, const std::string&) {
         return Script{Send(Redirect("Location: " + refusedUrl + "\r\n"))};
       },
       false,
       Failed(),
       {"/hostile"}},
      {"a Location with spaces is sent escaped",
       [](int, const std::string& request) {
         return Target(request) == "/hostile"
                    ? Script{Send(Redirect("Location: /next page?q=a b\r\n"))}
                    : Script{Send(Sized(4) + "next")};
       },
       false,
       Answered(Sized(4), "next"),
       {"/hostile", "/next%20page?q=a+b"}},
      {"a Location holding a bare CR is not followed",
       [](int, const std::string& request) {
         return Target(request) == "/hostile"
                    ? Script{Send(Redirect("Location: /next\rX-Injected: 1\r\n"))}
                    : Script{Send(Sized(4) + "next")};
       },
       false,
       Answered(RedirectHead("Location: /next\rX-Injected: 1\r\n"), "moved")
           .Located("/next\rX-Injected: 1"),
       {"/hostile"}},
      {"a Location cut by a bare LF",
       [](int, const std::string& request) {
         return Target(request) == "/hostile"
                    ? Script{Send(Redirect("Location: /next\nX-Injected: 1\r\n"))}
                    : Script{Send(Sized(4) + "next")};
       },
       false,
       Answered(Sized(4), "next"),
       {"/hostile", "/next"}},
      {"an escaped CRLF in a Location stays escaped",
       final("/next%0D%0AX-Injected:%201", Sized(4) + "next"),
       false,
       Answered(Sized(4), "next"),
       {"/hostile", "/next%0D%0AX-Injected:%201"}},
      {"cookies come from the final answer only",
       [](int, const std::string& request) {
         return Target(request) == "/hostile"
                    ? Script{Send(
                          Redirect("Location: /last\r\n", "Set-Cookie: first=1; path=/\r\n"))}
                    : Script{
                          Send(Head("Set-Cookie: last=2; path=/\r\nContent-Length: 2\r\n") + "ok")};
       },
       false,
       Answered(Head("Set-Cookie: last=2; path=/\r\nContent-Length: 2\r\n"), "ok")
           .Cookies("last=2", "last=2; keep=1"),
       {"/hostile", "/last"}},
  };
  for (const RedirectCase& c : cases) {
    SCOPED_TRACE(c.name);
    HostileServer server(c.director);
    ASSERT_TRUE(server.ok());
    const Result r = Call(server.Url("/hostile"), c.noRedirect);
    ExpectOutcome(r, c.expected);
    std::vector<std::string> targets;
    for (const std::string& request : server.Requests()) {
      targets.push_back(Target(request));
      EXPECT_EQ(request.find("\nX-Injected"), std::string::npos) << request;
    }
    EXPECT_EQ(targets, c.targets);
  }
}

// --- Between HTTP and HTTPS --------------------------------------------------------------------

using test_support::TestCertificates;

// A TLS server that answers /hello and sends /back to the address in its query.
class SecureServer {
 public:
  explicit SecureServer(const TestCertificates& certificates)
      : server_(certificates.File("server.pem").c_str(), certificates.File("server.key").c_str()) {
    server_.Get("/hello", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("secure hello", "text/plain");
    });
    server_.Get("/back", [](const httplib::Request& req, httplib::Response& res) {
      res.status = 302;
      res.set_header("Location", req.get_param_value("to"));
      res.set_content("moved", "text/plain");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ > 0) {
      thread_ = std::thread([this] { server_.listen_after_bind(); });
      while (!server_.is_running())
        std::this_thread::sleep_for(1ms);
    }
  }
  ~SecureServer() {
    server_.stop();
    if (thread_.joinable())
      thread_.join();
  }
  bool ok() const { return port_ > 0 && server_.is_valid(); }
  std::string Url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  httplib::SSLServer server_;
  std::thread thread_;
  int port_ = 0;
};

class WebRequestHostileTlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(certificates_.ok()) << "openssl could not make the test certificates";
    secure_ = std::make_unique<SecureServer>(certificates_);
    ASSERT_TRUE(secure_->ok());
  }
  TestCertificates certificates_;
  std::unique_ptr<SecureServer> secure_;
};

TEST_F(WebRequestHostileTlsTest, HttpToHttpsIsFollowed) {
  LimitsScope limits(ShortLimits(certificates_.File("ca.pem")));
  HostileServer plain(Script{Send(Redirect("Location: " + secure_->Url("/hello") + "\r\n"))});
  const Result r = Call(plain.Url("/hostile"));
  EXPECT_LT(r.elapsed, kBound);
  EXPECT_EQ(r.body.str(), "secure hello");
  EXPECT_TRUE(r.raw.view().starts_with("HTTP/1.1 200 OK\r\n")) << r.raw;
  EXPECT_EQ(r.location, r.raw);
  EXPECT_EQ(plain.Connections(), 1);
}

TEST_F(WebRequestHostileTlsTest, HttpsToHttpIsNotFollowed) {
  LimitsScope limits(ShortLimits(certificates_.File("ca.pem")));
  HostileServer plain(Script{Send(Sized(4) + "lure")});
  const std::string to = plain.Url("/lure");
  const Result r = Call(secure_->Url("/back?to=" + httplib::detail::encode_query_param(to)));
  EXPECT_LT(r.elapsed, kBound);
  EXPECT_EQ(r.body.str(), "moved");
  EXPECT_TRUE(r.raw.view().starts_with("HTTP/1.1 302 Found\r\n")) << r.raw;
  EXPECT_EQ(r.location, Text(to));
  EXPECT_EQ(plain.Connections(), 0);  // nothing went out in the clear
}

TEST_F(WebRequestHostileTlsTest, FailuresOfTheSecureChannel) {
  struct TlsCase {
    const char* name;
    bool trustTheAuthority;
    Script script;  // of a plain server behind an https address; empty: the TLS server instead
  };
  const std::vector<TlsCase> cases = {
      {"http to https with an unknown authority", false, {}},
      {"plain HTTP on an https address", true, {Send(Sized(2) + "ok")}},
      {"accepts and stays silent on an https address", true, {StaySilent()}},
      {"garbage bytes instead of a handshake", true, {Send(std::string(64, '\x16'))}},
  };
  for (const TlsCase& c : cases) {
    SCOPED_TRACE(c.name);
    LimitsScope limits(ShortLimits(c.trustTheAuthority ? certificates_.File("ca.pem") : ""));
    std::string url;
    std::unique_ptr<HostileServer> behind;
    if (c.script.empty()) {
      behind = std::make_unique<HostileServer>(
          Script{Send(Redirect("Location: " + secure_->Url("/hello") + "\r\n"))});
      url = behind->Url("/hostile");
    } else {
      behind = std::make_unique<HostileServer>(c.script, false);
      url = "https://127.0.0.1:" + std::to_string(behind->port()) + "/hostile";
    }
    const Result r = Call(url);
    ExpectOutcome(r, Failed());
  }
}

}  // namespace
}  // namespace joincode
