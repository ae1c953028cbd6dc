// The libcurl internet layer, byte for byte: what it puts on the wire for a header text, an object
// and a body, and how it hands back the header block. A raw loopback server records each request.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/inet.h"
#include "support/loopback_listener.h"

namespace joincode::platform {
namespace {

// Answers every request with one fixed response and records the request's bytes.
class RawServer {
 public:
  explicit RawServer(std::string response) : response_(std::move(response)) {
    const test_support::LoopbackListener listener = test_support::ListenOnLoopback(8);
    listener_ = listener.fd;
    port_ = listener.port;
    thread_ = std::thread([this] { Serve(); });
  }
  ~RawServer() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }
  int port() const { return port_; }
  std::vector<std::string> requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  void Serve() {
    while (!stop_) {
      pollfd waiting{listener_, POLLIN, 0};
      if (poll(&waiting, 1, 20) <= 0)
        continue;
      const int connection = accept(listener_, nullptr, nullptr);
      if (connection < 0)
        continue;
      std::string request = ReadRequest(connection);
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
      }
      (void)send(connection, response_.data(), response_.size(), MSG_NOSIGNAL);
      close(connection);
    }
  }
  // The head up to its empty line, then as many bytes as its Content-Length names.
  static std::string ReadRequest(int connection) {
    std::string request;
    char buffer[65536];
    size_t wanted = std::string::npos;
    while (request.size() < wanted) {
      pollfd readable{connection, POLLIN, 0};
      if (poll(&readable, 1, 2000) <= 0)
        break;
      const ssize_t got = recv(connection, buffer, sizeof buffer, 0);
      if (got <= 0)
        break;
      request.append(buffer, static_cast<size_t>(got));
      const size_t headEnd = request.find("\r\n\r\n");
      if (wanted == std::string::npos && headEnd != std::string::npos) {
        size_t bodyBytes = 0;
        const size_t field = request.find("\r\nContent-Length: ");
        if (field != std::string::npos && field < headEnd) {
          bodyBytes = std::strtoul(request.c_str() + field + 18, nullptr, 10);
        }
        wanted = headEnd + 4 + bodyBytes;
      }
    }
    return request;
  }

  std::string response_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
};

const char kOk[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";

struct Exchange {
  bool opened = false;
  bool sent = false;
  std::string body;
  std::string headers;
};

// One request through the layer, start to end.
Exchange RunExchange(int port, const char* verb, const char* object, const std::string& headerText,
                     const std::string& data = "", uint32_t flags = kFlagReload | kFlagNoCookies,
                     int32_t accessType = kOpenTypeDirect, const char* proxyList = nullptr) {
  Internet& net = CurrentInternet();
  Exchange result;
  InternetHandle session = net.Open("Agent/1", accessType, proxyList, "", 0);
  InternetHandle connection =
      net.Connect(session, "127.0.0.1", port, nullptr, nullptr, kServiceHttp, 0, 0);
  InternetHandle request =
      net.OpenRequest(connection, verb, object, "HTTP/1.1", nullptr, nullptr, flags, 0);
  result.opened = request != nullptr;
  if (request != nullptr) {
    result.sent =
        net.SendRequest(request, headerText.c_str(), -1, data.empty() ? nullptr : data.data(),
                        static_cast<int32_t>(data.size()));
    char chunk[1024];
    int32_t count = 0;
    while (net.ReadFile(request, chunk, sizeof chunk, &count) && count > 0) {
      result.body.append(chunk, static_cast<size_t>(count));
    }
    std::string block(5000, ' ');
    int32_t length = 5000;
    if (net.QueryInfo(request, kQueryRawHeadersCrlf, block.data(), &length, nullptr)) {
      result.headers = block.substr(0, static_cast<size_t>(length));
    }
  }
  net.CloseHandle(request);
  net.CloseHandle(connection);
  net.CloseHandle(session);
  return result;
}

std::string Head(const std::string& request) {
  return request.substr(0, request.find("\r\n\r\n") + 4);
}

// --- Header text on the wire -------------------------------------------------------------------

TEST(InetCurlTest, SendsTheHeaderTextAsGivenAndNothingOfItsOwn) {
  struct Case {
    const char* name;
    std::string headerText;
    std::vector<std::string> present;  // each as "\r\nName: value\r\n"
    std::vector<std::string> absent;   // header names followed by ":"
  };
  const std::vector<Case> cases = {
      {"lines in order, agent from the session",
       "Referer: http://r/\r\nAccept: */*\r\nX-Two: 2",
       {"\r\nReferer: http://r/\r\nAccept: */*\r\nX-Two: 2\r\n", "\r\nUser-Agent: Agent/1\r\n",
        "\r\nHost: 127.0.0.1:"},
       {"\r\nExpect:", "\r\nContent-Type:", "\r\nCookie:"}},
      {"no Accept unless asked for", "X-One: 1", {"\r\nX-One: 1\r\n"}, {"\r\nAccept:"}},
      {"empty lines skipped, a final CRLF adds nothing",
       "\r\nX-A: 1\r\n\r\nX-B: 2\r\n",
       {"\r\nX-A: 1\r\nX-B: 2\r\n"},
       {}},
      {"a header line of its own replaces the agent",
       "user-agent: Mine/2",
       {"\r\nuser-agent: Mine/2\r\n"},
       {"\r\nUser-Agent:"}},
      {"an empty value is sent, not taken as removal", "X-Empty:", {"\r\nX-Empty:\r\n"}, {}},
      {"cookie line only from the text", "Cookie: a=1; b=2", {"\r\nCookie: a=1; b=2\r\n"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawServer server(kOk);
    const Exchange exchange = RunExchange(server.port(), "GET", "/x", c.headerText);
    EXPECT_TRUE(exchange.sent);
    EXPECT_EQ(exchange.body, "ok");
    ASSERT_EQ(server.requests().size(), 1u);
    const std::string head = Head(server.requests()[0]);
    EXPECT_TRUE(head.starts_with("GET /x HTTP/1.1\r\n")) << head;
    for (const std::string& line : c.present) {
      EXPECT_NE(head.find(line), std::string::npos) << line << " in\n" << head;
    }
    for (const std::string& name : c.absent) {
      EXPECT_EQ(head.find(name), std::string::npos) << name << " in\n" << head;
    }
  }
}

TEST(InetCurlTest, RefusesHeaderLinesThatCouldInjectOthers) {
  struct Case {
    const char* name;
    std::string headerText;
  };
  const std::vector<Case> cases = {
      {"bare LF", "X-A: 1\nX-Injected: 2"},
      {"bare CR", "X-A: 1\rX-Injected: 2"},
      {"NUL inside the given length", std::string("X-A: 1\0X-B: 2", 13)},
      {"other control byte", "X-A: \x01"},
      {"DEL", "X-A: \x7F"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawServer server(kOk);
    Internet& net = CurrentInternet();
    InternetHandle session = net.Open("Agent/1", kOpenTypeDirect, nullptr, nullptr, 0);
    InternetHandle connection =
        net.Connect(session, "127.0.0.1", server.port(), nullptr, nullptr, kServiceHttp, 0, 0);
    InternetHandle request = net.OpenRequest(connection, "GET", "/", nullptr, nullptr, nullptr,
                                             kFlagReload | kFlagNoCookies, 0);
    ASSERT_NE(request, nullptr);
    EXPECT_FALSE(net.SendRequest(request, c.headerText.data(),
                                 static_cast<int32_t>(c.headerText.size()), nullptr, 0));
    int32_t count = -1;
    char chunk[16];
    net.ReadFile(request, chunk, sizeof chunk, &count);
    EXPECT_EQ(count, 0);
    net.CloseHandle(request);
    net.CloseHandle(connection);
    net.CloseHandle(session);
    EXPECT_TRUE(server.requests().empty());
  }
}

TEST(InetCurlTest, TabInsideAHeaderValueIsAllowed) {
  RawServer server(kOk);
  EXPECT_TRUE(RunExchange(server.port(), "GET", "/", "X-Tab: a\tb").sent);
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_NE(server.requests()[0].find("\r\nX-Tab: a\tb\r\n"), std::string::npos);
}

// --- The object -------------------------------------------------------------------------------

TEST(InetCurlTest, ObjectGoesOnTheWireUnescapedButForSpaces) {
  struct Case {
    const char* name;
    std::string object;
    std::string requestLine;  // empty: refused when the request is opened
  };
  const std::vector<Case> cases = {
      {"query kept as is", "/a?b=%41&c=d", "GET /a?b=%41&c=d HTTP/1.1\r\n"},
      {"space becomes %20", "/a b?c d", "GET /a%20b?c%20d HTTP/1.1\r\n"},
      {"high bytes raw", std::string("/\xC8\xBA?q=\xD2\xFD", 8),
       std::string("GET /\xC8\xBA?q=\xD2\xFD HTTP/1.1\r\n", 23)},
      {"dot segments kept", "/a/../b", "GET /a/../b HTTP/1.1\r\n"},
      {"CR LF refused", "/a\r\nX-Injected: 1", ""},
      {"LF refused", "/a\nb", ""},
      {"tab refused", "/a\tb", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawServer server(kOk);
    const Exchange exchange = RunExchange(server.port(), "GET", c.object.c_str(), "X: 1");
    if (c.requestLine.empty()) {
      EXPECT_FALSE(exchange.opened);
      EXPECT_TRUE(server.requests().empty());
    } else {
      ASSERT_EQ(server.requests().size(), 1u);
      EXPECT_TRUE(server.requests()[0].starts_with(c.requestLine)) << server.requests()[0];
    }
  }
}

// --- Bodies -------------------------------------------------------------------------------------

TEST(InetCurlTest, SendsTheBodyWithItsLengthAndNoExpect) {
  struct Case {
    const char* name;
    const char* verb;
    std::string data;
    std::string requestLine;
  };
  const std::vector<Case> cases = {
      {"GET with a body", "GET", "q=1", "GET / HTTP/1.1\r\n"},
      {"POST of bytes with NULs", "POST", std::string("a\0b", 3), "POST / HTTP/1.1\r\n"},
      {"POST of two MiB", "POST", std::string(size_t{2} << 20, 'p'), "POST / HTTP/1.1\r\n"},
      {"POST of nothing", "POST", "", "POST / HTTP/1.1\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawServer server(kOk);
    const Exchange exchange = RunExchange(server.port(), c.verb, "/", "X: 1", c.data);
    EXPECT_EQ(exchange.body, "ok");
    ASSERT_EQ(server.requests().size(), 1u);
    const std::string request = server.requests()[0];
    const std::string head = Head(request);
    EXPECT_TRUE(head.starts_with(c.requestLine)) << head;
    EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(c.data.size()) + "\r\n"),
              std::string::npos)
        << head;
    EXPECT_EQ(head.find("\r\nExpect:"), std::string::npos) << head;
    EXPECT_EQ(head.find("\r\nContent-Type:"), std::string::npos) << head;
    EXPECT_EQ(request.substr(head.size()), c.data);
  }
}

// --- The header block ---------------------------------------------------------------------------

TEST(InetCurlTest, HeaderBlockIsTheFinalResponsesOwn) {
  struct Case {
    const char* name;
    std::string response;
    std::string block;
  };
  const std::vector<Case> cases = {
      {"status and lines, each with CRLF, then the empty line",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nContent-Length: 2\r\nConnection: close\r\n\r\n"},
      {"an interim 100 is not part of it",
       "HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: "
       "2\r\nConnection: close\r\n\r\nok",
       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\n"},
      {"bare LF line ends become CRLF",
       "HTTP/1.1 200 OK\nContent-Length: 2\nConnection: close\n\nok",
       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawServer server(c.response);
    const Exchange exchange = RunExchange(server.port(), "GET", "/", "X: 1");
    EXPECT_EQ(exchange.body, "ok");
    EXPECT_EQ(exchange.headers, c.block);
  }
}

TEST(InetCurlTest, QueryThatDoesNotFitLeavesTheBufferAlone) {
  const std::string block = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
  RawServer server(block);
  Internet& net = CurrentInternet();
  InternetHandle session = net.Open("Agent/1", kOpenTypeDirect, nullptr, nullptr, 0);
  InternetHandle connection =
      net.Connect(session, "127.0.0.1", server.port(), nullptr, nullptr, kServiceHttp, 0, 0);
  InternetHandle request = net.OpenRequest(connection, "GET", "/", nullptr, nullptr, nullptr,
                                           kFlagReload | kFlagNoCookies, 0);
  ASSERT_TRUE(net.SendRequest(request, "", 0, nullptr, 0));
  struct Case {
    const char* name;
    int32_t room;
    bool fits;
  };
  const auto size = static_cast<int32_t>(block.size());
  const std::vector<Case> cases = {
      {"no room for the NUL", size, false},
      {"room for block and NUL", size + 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string buffer(static_cast<size_t>(c.room), '#');
    int32_t length = c.room;
    EXPECT_EQ(net.QueryInfo(request, kQueryRawHeadersCrlf, buffer.data(), &length, nullptr),
              c.fits);
    if (c.fits) {
      EXPECT_EQ(length, size);
      EXPECT_EQ(buffer, block + '\0');
    } else {
      EXPECT_EQ(length, size + 1);
      EXPECT_EQ(buffer, std::string(static_cast<size_t>(c.room), '#'));
    }
  }
  net.CloseHandle(request);
  net.CloseHandle(connection);
  net.CloseHandle(session);
}

// --- Access type --------------------------------------------------------------------------------

TEST(InetCurlTest, DirectAccessIgnoresProxyVariables) {
  RawServer origin(kOk);
  RawServer proxy(kOk);
  const std::string proxyUrl = "http://127.0.0.1:" + std::to_string(proxy.port());
  setenv("http_proxy", proxyUrl.c_str(), 1);
  setenv("HTTP_PROXY", proxyUrl.c_str(), 1);
  const Exchange exchange = RunExchange(origin.port(), "GET", "/direct", "X: 1");
  unsetenv("http_proxy");
  unsetenv("HTTP_PROXY");
  EXPECT_EQ(exchange.body, "ok");
  EXPECT_EQ(origin.requests().size(), 1u);
  EXPECT_TRUE(proxy.requests().empty());
}

TEST(InetCurlTest, ProxyListServesItsScheme) {
  struct Case {
    const char* name;
    std::string listPrefix;
    uint32_t flags;
    bool viaProxy;
  };
  const std::vector<Case> cases = {
      {"http= serves plain HTTP", "http=", 0, true},
      {"a bare server serves every scheme", "", 0, true},
      {"https= leaves plain HTTP direct", "https=", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawServer origin(kOk);
    RawServer proxy(kOk);
    const std::string list = c.listPrefix + "127.0.0.1:" + std::to_string(proxy.port());
    const Exchange exchange =
        RunExchange(origin.port(), "GET", "/p?q=1", "X: 1", "",
                    kFlagReload | kFlagNoCookies | c.flags, kOpenTypeProxy, list.c_str());
    EXPECT_EQ(exchange.body, "ok");
    EXPECT_EQ(proxy.requests().size(), c.viaProxy ? 1u : 0u);
    EXPECT_EQ(origin.requests().size(), c.viaProxy ? 0u : 1u);
    if (c.viaProxy && !proxy.requests().empty()) {
      EXPECT_TRUE(proxy.requests()[0].starts_with(
          "GET http://127.0.0.1:" + std::to_string(origin.port()) + "/p?q=1 HTTP/1.1\r\n"))
          << proxy.requests()[0];
    }
  }
}

// --- Redirects and credentials -------------------------------------------------------------------

TEST(InetCurlTest, CookieLineStaysWithItsOrigin) {
  // Same origin: a 307 to the server itself, one hop allowed.
  RawServer selfRedirect(
      "HTTP/1.1 307 Again\r\nLocation: /again\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  InternetLimits limits;
  limits.maxRedirects = 1;
  const InternetLimits previous = SetInternetLimits(limits);
  const Exchange looped = RunExchange(selfRedirect.port(), "GET", "/", "Cookie: a=1");
  SetInternetLimits(previous);
  EXPECT_FALSE(looped.sent);  // the second redirect is one too many
  ASSERT_EQ(selfRedirect.requests().size(), 2u);
  EXPECT_TRUE(selfRedirect.requests()[1].starts_with("GET /again HTTP/1.1\r\n"));
  EXPECT_NE(selfRedirect.requests()[1].find("\r\nCookie: a=1\r\n"), std::string::npos);

  // Another port is another origin: the cookie stays behind, other lines go along.
  RawServer other(kOk);
  RawServer crossRedirect(
      "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:" + std::to_string(other.port()) +
      "/next\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(RunExchange(crossRedirect.port(), "GET", "/", "Cookie: a=1\r\nX-Keep: 1").body, "ok");
  ASSERT_EQ(other.requests().size(), 1u);
  EXPECT_EQ(other.requests()[0].find("\r\nCookie:"), std::string::npos) << other.requests()[0];
  EXPECT_NE(other.requests()[0].find("\r\nX-Keep: 1\r\n"), std::string::npos);
}

// --- Handles ------------------------------------------------------------------------------------

TEST(InetCurlTest, HandlesAreCheckedAndMayCloseInAnyOrder) {
  Internet& net = CurrentInternet();
  int unknownObject = 0;
  const auto unknown = reinterpret_cast<InternetHandle>(&unknownObject);
  EXPECT_FALSE(net.CloseHandle(unknown));
  EXPECT_FALSE(net.CloseHandle(nullptr));
  EXPECT_EQ(net.Connect(unknown, "h", 80, nullptr, nullptr, kServiceHttp, 0, 0), nullptr);
  EXPECT_EQ(net.Open("a", 2, nullptr, nullptr, 0), nullptr);  // no such access type

  InternetHandle session = net.Open("a", kOpenTypeDirect, nullptr, nullptr, 0);
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(net.Connect(session, "", 80, nullptr, nullptr, kServiceHttp, 0, 0), nullptr);
  EXPECT_EQ(net.Connect(session, "h", 80, nullptr, nullptr, 1, 0, 0), nullptr);  // not HTTP
  InternetHandle connection = net.Connect(session, "h", 80, nullptr, nullptr, kServiceHttp, 0, 0);
  ASSERT_NE(connection, nullptr);
  // A session is not a connection, nor a connection a request.
  EXPECT_EQ(net.OpenRequest(session, "GET", "/", nullptr, nullptr, nullptr, 0, 0), nullptr);
  int32_t count = 7;
  char byte;
  EXPECT_FALSE(net.ReadFile(connection, &byte, 1, &count));
  EXPECT_EQ(count, 0);
  InternetHandle request = net.OpenRequest(connection, "GET", "/", nullptr, nullptr, nullptr, 0, 0);
  ASSERT_NE(request, nullptr);
  EXPECT_TRUE(net.CloseHandle(session));
  EXPECT_TRUE(net.CloseHandle(connection));
  EXPECT_TRUE(net.CloseHandle(request));
  EXPECT_FALSE(net.CloseHandle(request));
}

}  // namespace
}  // namespace joincode::platform
