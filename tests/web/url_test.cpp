#include "web/url.h"

#include <gtest/gtest.h>

#include <vector>

namespace joincode {
namespace {

TEST(UrlHostTest, HostBetweenSchemeAndSlash) {
  struct Case {
    const char* name;
    Text url;
    bool baseDomainOnly;
    bool keepPort;
    Text host;
  };
  const Text mixed = "HTTP://Srv.Alpha.BETA:8080/a/B?c=d";
  const std::vector<Case> cases = {
      {"lower case, port cut", mixed, false, false, "srv.alpha.beta"},
      {"port kept", mixed, false, true, "srv.alpha.beta:8080"},
      {"base domain", mixed, true, false, "alpha.beta"},
      {"base domain with port", mixed, true, true, "alpha.beta:8080"},
      {"no scheme", "alpha.beta/x", false, false, "alpha.beta"},
      {"https without slash", "https://a.b.c.d", false, false, "a.b.c.d"},
      {"https without slash, base domain", "https://a.b.c.d", true, false, "c.d"},
      {"single label stays whole", "http://alpha/", true, false, "alpha"},
      {"query belongs to the host without a slash", "http://host?q=1", false, false, "host?q=1"},
      {"cut at the first colon", "http://host:81:82/", false, false, "host"},
      {"base domain before the port is cut", "http://a.b.c:81/", true, false, "b.c"},
      {"base domain keeps the port on the last label", "http://a.b.c:81/", true, true, "b.c:81"},
      {"https scheme alone", "https://", false, false, ""},
      {"empty url", "", false, false, ""},
      {"scheme in capitals with https", "HTTPS://Secure.Example/x", false, false, "secure.example"},
      // A scheme-less URL that carries a URL in its query: the host is the one at the start.
      {"http marker later in the url", "a.example/go?to=http://b.example/", false, false,
       "a.example"},
      {"https marker later in the url", "a.example/go?to=https://b.example/", false, false,
       "a.example"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(UrlHost(c.url, c.baseDomainOnly, c.keepPort), c.host);
  }
}

TEST(UrlHostTest, FlagsDefaultToFalse) {
  EXPECT_EQ(UrlHost("HTTP://Srv.Alpha.BETA:8080/a"), "srv.alpha.beta");
}

TEST(UrlPortTest, AfterTheLastColonOrByScheme) {
  struct Case {
    const char* name;
    Text url;
    int32_t port;
  };
  const std::vector<Case> cases = {
      {"explicit port", "HTTP://Srv.Alpha.BETA:8080/a/B?c=d", 8080},
      {"no scheme", "alpha.beta/x", 80},
      {"https without port", "https://a.b.c.d", 443},
      {"https in capitals", "HTTPS://host/x", 443},
      {"nothing after the colon", "http://host:/x", 0},
      {"digits up to the first other byte", "http://host:8080abc/", 8080},
      {"last colon counts", "http://host:81:82/", 82},
      {"empty url", "", 80},
      {"https with a port", "https://host:8443/", 8443},
      // "https" at the start means 443, as it means TLS to the request routine.
      {"scheme-less host beginning with https", "httpserver.local/x", 443},
      {"https later in the url", "host/x?u=https://y", 80},
      {"host named https", "https.example:81/", 81},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(UrlPort(c.url), c.port);
  }
}

TEST(UrlPathTest, FromTheSlashAfterTheHost) {
  struct Case {
    const char* name;
    Text url;
    Text path;
  };
  const std::vector<Case> cases = {
      {"query kept", "HTTP://Srv.Alpha.BETA:8080/a/B?c=d", "/a/B?c=d"},
      {"no scheme", "alpha.beta/x", "/x"},
      {"no path", "https://a.b.c.d", "/"},
      {"query without a slash is no path", "http://host?q=1", "/"},
      {"capitals kept", "http://Host.Alpha/A/b", "/A/b"},
      {"empty url", "", "/"},
      {"root", "http://host/", "/"},
      {"fragment kept", "http://host/p#frag", "/p#frag"},
      // Hosts that also occur inside the scheme: the path still starts after the host.
      {"host inside the scheme name", "http://t/x", "/x"},
      {"host named http", "HTTP://http/x", "/x"},
      {"https host inside the scheme name", "https://s/y", "/y"},
      {"empty host", "http:///x", "/x"},
      {"https scheme alone", "https://", "/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(UrlPath(c.url), c.path);
  }
}

}  // namespace
}  // namespace joincode
