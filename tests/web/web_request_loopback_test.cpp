// WebRequest end to end over the libcurl layer, against HTTP(S) servers on loopback ports.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/inet.h"
#include "support/test_certificates.h"
#include "text/convert.h"
#include "web/web_request.h"

namespace joincode {
namespace {

namespace inet = platform;

struct Seen {
  std::string method;
  std::string target;
  httplib::Headers headers;

  std::string Header(const std::string& name) const {
    auto found = headers.find(name);
    return found == headers.end() ? "<none>" : found->second;
  }
};

// A server on a free loopback port, running on its own thread until the object goes.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::unique_ptr<httplib::Server> server = nullptr)
      : server_(server ? std::move(server) : std::make_unique<httplib::Server>()) {
    server_->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
      std::lock_guard lock(mutex_);
      seen_.push_back({request.method, request.target, request.headers});
      return httplib::Server::HandlerResponse::Unhandled;
    });
  }
  ~LoopbackServer() {
    server_->stop();
    if (thread_.joinable())
      thread_.join();
  }
  httplib::Server& operator*() { return *server_; }
  httplib::Server* operator->() { return server_.get(); }

  void Start() {
    port_ = server_->bind_to_any_port("127.0.0.1");
    ASSERT_GT(port_, 0);
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running())
      std::this_thread::yield();
  }
  int port() const { return port_; }
  std::string Url(const std::string& path, const char* scheme = "http") const {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::vector<Seen> seen() {
    std::lock_guard lock(mutex_);
    return seen_;
  }
  Seen last() {
    std::lock_guard lock(mutex_);
    return seen_.empty() ? Seen{"<no request>", "", {}} : seen_.back();
  }

 private:
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  std::mutex mutex_;
  std::vector<Seen> seen_;
};

// A loopback port that was free a moment ago and has no listener now.
int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

class LimitsScope {
 public:
  explicit LimitsScope(const inet::InternetLimits& limits)
      : previous_(inet::SetInternetLimits(limits)) {}
  ~LimitsScope() { inet::SetInternetLimits(previous_); }

 private:
  inet::InternetLimits previous_;
};

void AddRoutes(httplib::Server& server) {
  server.Get("/hello", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("hello world", "text/plain");
  });
  auto echo = [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(req.method + " " + req.body, "application/octet-stream");
  };
  server.Get("/echo", echo);
  server.Post("/echo", echo);
  server.Get("/zero", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(std::string("ab\0cd", 5), "application/octet-stream");
  });
  server.Get("/cookies", [](const httplib::Request& req, httplib::Response& res) {
    for (const std::string& value : {req.get_param_value("c1"), req.get_param_value("c2")}) {
      if (!value.empty())
        res.headers.emplace("Set-Cookie", value);
    }
    res.set_content("cookies", "text/plain");
  });
  auto redirect = [](int status) {
    return [status](const httplib::Request& req, httplib::Response& res) {
      res.status = status;
      res.set_header("Location", req.has_param("to") ? req.get_param_value("to") : "/echo");
      res.set_content("moved", "text/plain");
    };
  };
  for (int status : {301, 302, 303, 307, 308}) {
    const std::string path = "/redirect" + std::to_string(status);
    server.Get(path, redirect(status));
    server.Post(path, redirect(status));
  }
  server.Get("/loop", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("/loop", 302);
  });
  server.Get("/big-headers", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("X-Big", std::string(6000, 'x'));
    res.set_content("body after big headers", "text/plain");
  });
}

class WebRequestLoopbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddRoutes(*server_);
    server_.Start();
  }
  LoopbackServer server_;
};

// --- Plain exchanges ---------------------------------------------------------------------------

TEST_F(WebRequestLoopbackTest, GetSendsTheDefaultLinesAndReturnsBodyAndHeaders) {
  Text raw, location;
  const std::string url = server_.Url("/hello");
  const Bytes body = WebRequest(url, {.location = &location, .rawHeaders = &raw});
  EXPECT_EQ(body, Bytes(std::string_view("hello world")));
  EXPECT_TRUE(raw.view().starts_with("HTTP/1.1 200 OK\r\n")) << raw;
  EXPECT_TRUE(raw.view().ends_with("\r\n\r\n")) << raw;
  EXPECT_NE(raw.view().find("\r\nContent-Length: 11\r\n"), std::string_view::npos) << raw;
  EXPECT_EQ(location, raw);  // no Location line

  const std::vector<Seen> seen = server_.seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "GET");
  EXPECT_EQ(seen[0].target, "/hello");
  EXPECT_EQ(seen[0].Header("User-Agent"),
            "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Qvix; .NET CLR 2.0.50727; .NET "
            "CLR 3.0.04506.648; .NET CLR 3.5.21022)");
  EXPECT_EQ(seen[0].Header("Referer"), url);
  EXPECT_EQ(seen[0].Header("Accept"), "*/*");
  EXPECT_EQ(seen[0].Header("Accept-Language"), "zh-cn");
  EXPECT_EQ(seen[0].Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(seen[0].Header("Cookie"), "<none>");
  EXPECT_EQ(seen[0].Header("Expect"), "<none>");
  EXPECT_EQ(seen[0].headers.count("User-Agent"), 1u);
}

TEST_F(WebRequestLoopbackTest, SendsTheBodyForEveryMethodButZero) {
  struct Case {
    const char* name;
    int32_t method;
    Text postText;
    Bytes postBytes;
    std::string method_seen;
    std::string body_seen;
  };
  const std::vector<Case> cases = {
      {"POST of bytes holding NULs", 1, "", Bytes(std::string("a\0b\0c", 5)), "POST",
       std::string("a\0b\0c", 5)},
      {"POST of the text", 1, "k=v&w=1", Bytes(), "POST", "k=v&w=1"},
      {"POST of nothing", 1, "", Bytes(), "POST", ""},
      {"GET without a body ignores the text", 0, "ignored", Bytes(), "GET", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes postBytes = c.postBytes;
    const Bytes reply =
        WebRequest(server_.Url("/echo"),
                   {.method = c.method, .postText = c.postText, .postBytes = &postBytes});
    EXPECT_EQ(reply, Bytes(c.method_seen + " " + c.body_seen));
  }
}

TEST_F(WebRequestLoopbackTest, TextStopsAtTheFirstZeroByte) {
  EXPECT_EQ(WebRequest(server_.Url("/zero")), Bytes(std::string("ab\0cd", 5)));
  EXPECT_EQ(WebRequestText(server_.Url("/zero")), Text("ab"));
}

// --- Cookies -----------------------------------------------------------------------------------

TEST_F(WebRequestLoopbackTest, CookiesTravelBothWays) {
  struct Case {
    const char* name;
    std::string query;
    Text jarBefore;
    Text received;
    Text jarAfter;
  };
  const std::vector<Case> cases = {
      {"two cookies merged", "?c1=a%3D1%3B%20path%3D%2F&c2=b%3D2%3B%20HttpOnly", "b=1; c=3",
       "a=1;b=2", "a=1; b=2; c=3"},
      {"deletion empties the jar", "?c1=sid%3Ddeleted%3B%20path%3D%2F", "sid=7", "sid=deleted", ""},
      {"a cookie without attributes is kept", "?c1=sid%3D7", "", "sid=7", "sid=7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Text jar = c.jarBefore, received;
    (void)WebRequest(server_.Url("/cookies" + c.query),
                     {.sentCookies = &jar, .receivedCookies = &received});
    EXPECT_EQ(server_.last().Header("Cookie"), c.jarBefore.empty() ? "<none>" : c.jarBefore.str());
    EXPECT_EQ(received, c.received);
    EXPECT_EQ(jar, c.jarAfter);
    // The jar goes out with the next request, and the layer adds nothing of its own.
    (void)WebRequest(server_.Url("/hello"), {.sentCookies = &jar});
    EXPECT_EQ(server_.last().Header("Cookie"), c.jarAfter.empty() ? "<none>" : c.jarAfter.str());
  }
}

// --- Redirects ---------------------------------------------------------------------------------

TEST_F(WebRequestLoopbackTest, FollowsRedirectsUnlessTold) {
  struct Case {
    const char* name;
    std::string path;
    int32_t method;
    bool noRedirect;
    std::string finalMethod;  // as the server saw the last request
    Text result;              // the echo of the last request, or the redirect's own body
    Text location;            // "=raw": the header block, since the final answer has no Location
  };
  const std::vector<Case> cases = {
      {"302 followed", "/redirect302", 0, false, "GET", "GET ", "=raw"},
      {"302 turns POST into GET", "/redirect302", 1, false, "GET", "GET ", "=raw"},
      {"301 turns POST into GET", "/redirect301", 1, false, "GET", "GET ", "=raw"},
      {"303 turns POST into GET", "/redirect303", 1, false, "GET", "GET ", "=raw"},
      {"307 keeps POST and body", "/redirect307", 1, false, "POST", "POST p=1", "=raw"},
      {"308 keeps POST and body", "/redirect308", 1, false, "POST", "POST p=1", "=raw"},
      {"not followed with noRedirect", "/redirect302", 1, true, "POST", "moved", "/echo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Text raw, location;
    const size_t before = server_.seen().size();
    const Text result = WebRequestText(server_.Url(c.path), {.method = c.method,
                                                             .postText = "p=1",
                                                             .location = &location,
                                                             .noRedirect = c.noRedirect,
                                                             .rawHeaders = &raw});
    EXPECT_EQ(result, c.result);
    const std::vector<Seen> seen = server_.seen();
    ASSERT_EQ(seen.size(), before + (c.noRedirect ? 1 : 2));
    EXPECT_EQ(seen.back().method, c.finalMethod);
    EXPECT_EQ(location, c.location == Text("=raw") ? raw : c.location);
    EXPECT_EQ(raw.view().starts_with("HTTP/1.1 200 OK\r\n"), !c.noRedirect) << raw;
  }
}

TEST_F(WebRequestLoopbackTest, RedirectLoopEndsAsAFailedSend) {
  Text raw;
  const Bytes body = WebRequest(server_.Url("/loop"), {.rawHeaders = &raw});
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(raw, BlankText(5000));
  EXPECT_EQ(server_.seen().size(), 21u);  // the first request and twenty redirects
}

// --- Limits of the header buffer and the outside world -----------------------------------------

TEST_F(WebRequestLoopbackTest, HeaderBlockOverTheBufferLeavesBlanks) {
  Text raw, location;
  const Text body =
      WebRequestText(server_.Url("/big-headers"), {.location = &location, .rawHeaders = &raw});
  EXPECT_EQ(body, Text("body after big headers"));
  EXPECT_EQ(raw, BlankText(5000));
  EXPECT_EQ(location, BlankText(5000));
}

TEST(WebRequestOutsideWorldTest, RefusedConnectionGivesAnEmptyBody) {
  const int port = FreePort();
  ASSERT_GT(port, 0);
  Text raw, sent = "a = 1";
  const Bytes body = WebRequest("http://127.0.0.1:" + std::to_string(port) + "/",
                                {.sentCookies = &sent, .rawHeaders = &raw});
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(raw, BlankText(5000));
  EXPECT_EQ(sent, Text("a=1"));
}

TEST(WebRequestOutsideWorldTest, SilentServerEndsByTheIdleTimeout) {
  std::mutex mutex;
  std::condition_variable released;
  bool release = false;
  LoopbackServer server;
  server->Get("/silent", [&](const httplib::Request&, httplib::Response& res) {
    std::unique_lock lock(mutex);
    released.wait(lock, [&] { return release; });
    res.set_content("too late", "text/plain");
  });
  server.Start();
  {
    inet::InternetLimits limits;
    limits.idleTimeout = std::chrono::seconds(1);
    LimitsScope scope(limits);
    Text raw;
    EXPECT_TRUE(WebRequest(server.Url("/silent"), {.rawHeaders = &raw}).empty());
    EXPECT_EQ(raw, BlankText(5000));
  }
  {
    std::lock_guard lock(mutex);
    release = true;
  }
  released.notify_all();
}

TEST(WebRequestOutsideWorldTest, EndlessBodyIsCutAtTheCap) {
  LoopbackServer server;
  server->Get("/endless", [](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider(
        "application/octet-stream", [](size_t, httplib::DataSink& sink) {
          const std::string block(16384, 'e');
          return sink.is_writable() && sink.write(block.data(), block.size());
        });
  });
  server.Start();
  inet::InternetLimits limits;
  limits.maxBodyBytes = 100'000;
  LimitsScope scope(limits);
  Text raw;
  const Bytes body = WebRequest(server.Url("/endless"), {.rawHeaders = &raw});
  EXPECT_EQ(body, Bytes(std::string(100'000, 'e')));
  EXPECT_TRUE(raw.view().starts_with("HTTP/1.1 200 OK\r\n")) << raw;
}

// --- Proxy ---------------------------------------------------------------------------------------

TEST(WebRequestProxyTest, PlainHttpGoesThroughTheProxyInAbsoluteForm) {
  LoopbackServer proxy;
  proxy->Get(".*", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content("proxied " + req.target, "text/plain");
  });
  proxy.Start();
  const Text body = WebRequestText("http://origin.invalid:8080/via?x=1",
                                   {.proxy = Text("127.0.0.1:" + std::to_string(proxy.port()))});
  EXPECT_EQ(body, Text("proxied http://origin.invalid:8080/via?x=1"));
  ASSERT_EQ(proxy.seen().size(), 1u);
  EXPECT_EQ(proxy.seen()[0].Header("Host"), "origin.invalid:8080");
}

// --- HTTPS with a certificate authority made for the test ---------------------------------------

using test_support::TestCertificates;

class WebRequestHttpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(certificates_.ok()) << "openssl could not make the test certificates";
    secure_ = std::make_unique<LoopbackServer>(std::make_unique<httplib::SSLServer>(
        certificates_.File("server.pem").c_str(), certificates_.File("server.key").c_str()));
    ASSERT_TRUE((*secure_)->is_valid());
    AddRoutes(**secure_);
    secure_->Start();
    AddRoutes(*plain_);
    plain_.Start();
  }
  inet::InternetLimits TrustingLimits() const {
    inet::InternetLimits limits;
    limits.testCaFile = certificates_.File("ca.pem");
    return limits;
  }

  TestCertificates certificates_;
  std::unique_ptr<LoopbackServer> secure_;
  LoopbackServer plain_;
};

TEST_F(WebRequestHttpsTest, TrustsTheTestAuthorityAndNothingElse) {
  {
    LimitsScope scope(TrustingLimits());
    EXPECT_EQ(WebRequestText(secure_->Url("/hello", "https")), Text("hello world"));
  }
  // The system store does not know the test authority: verification stays on.
  EXPECT_EQ(WebRequestText(secure_->Url("/hello", "https")), Text(""));
  EXPECT_EQ(secure_->seen().size(), 1u);
}

TEST_F(WebRequestHttpsTest, RedirectsBetweenSchemes) {
  LimitsScope scope(TrustingLimits());
  struct Case {
    const char* name;
    std::string from;
    std::string to;
    Text result;
  };
  const std::vector<Case> cases = {
      {"http to https is followed", plain_.Url("/redirect302?to="), secure_->Url("/hello", "https"),
       "hello world"},
      {"https to http is not", secure_->Url("/redirect302?to=", "https"), plain_.Url("/hello"),
       "moved"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Text location;
    EXPECT_EQ(
        WebRequestText(c.from + httplib::detail::encode_query_param(c.to), {.location = &location}),
        c.result);
    if (c.result == Text("moved")) {
      EXPECT_EQ(location, Text(c.to));
    }
  }
}

TEST_F(WebRequestHttpsTest, HttpsGoesDirectWhenTheProxyServesHttpOnly) {
  LimitsScope scope(TrustingLimits());
  LoopbackServer proxy;
  proxy->Get(".*", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("from the proxy", "text/plain");
  });
  proxy.Start();
  EXPECT_EQ(WebRequestText(secure_->Url("/hello", "https"),
                           {.proxy = Text("127.0.0.1:" + std::to_string(proxy.port()))}),
            Text("hello world"));
  EXPECT_TRUE(proxy.seen().empty());
}

}  // namespace
}  // namespace joincode
