#include "web/url.h"

#include "text/convert.h"
#include "text/cut.h"
#include "text/extract.h"
#include "text/search.h"
#include "text/spaces.h"

namespace joincode {
namespace {

constexpr char kHttps[] = "https://";
constexpr char kHttp[] = "http://";

// The scheme is looked for at the start only: a scheme-less URL may carry "http://" further on (in
// its query, say), and that must not decide the host, the port or where the path begins.
bool StartsWith(const Text& lowered, const Text& scheme) {
  return CompareText(TextLeft(lowered, TextLength(scheme)), scheme) == 0;
}

// Position of the first byte after the scheme; 1 without one.
int32_t HostStart(const Text& url) {
  const Text lowered = ToLower(url);
  if (StartsWith(lowered, kHttps)) {
    return TextLength(kHttps) + 1;
  }
  if (StartsWith(lowered, kHttp)) {
    return TextLength(kHttp) + 1;
  }
  return 1;
}

}  // namespace

Text UrlHost(const Text& url, bool baseDomainOnly, bool keepPort) {
  Text host = ToLower(url);
  if (CompareText(TextRight(host, 1), "/") != 0) {
    host = Concat(host, "/");
  }
  if (StartsWith(host, kHttps)) {
    host = TextBetween(host, kHttps, "/");
  } else {
    if (!StartsWith(host, kHttp)) {
      host = Concat(kHttp, host);
    }
    host = TextBetween(host, kHttp, "/");
  }
  if (baseDomainOnly) {
    // Before the port is cut off, so a port stays on the last label: a.b.c:81 -> b.c:81.
    const TextArray labels = SplitText(host, ".");
    const int32_t count = ArraySize(labels);
    if (count > 1) {
      host = Concat(labels.Member(count - 1), ".", labels.Member(count));
    }
  }
  if (!keepPort) {
    const int32_t colon = FindText(host, ":");
    if (colon != -1) {
      host = TextLeft(host, colon - 1);
    }
  }
  return host;
}

int32_t UrlPort(const Text& url) {
  const Text host = UrlHost(url, false, true);
  // The host is cut at its first ":", the port read after its last.
  const int32_t colon = FindTextReverse(host, ":");
  if (colon != -1) {
    return TextToInt(TextRight(host, TextLength(host) - colon));
  }
  // The same five-byte test that makes the request routine ask for TLS, so port and TLS agree.
  return StartsWith(ToLower(url), "https") ? 443 : 80;
}

Text UrlPath(const Text& url) {
  const int32_t slash = FindText(url, "/", HostStart(url));
  if (slash == -1) {
    return "/";
  }
  return TextRight(url, TextLength(url) - slash + 1);
}

}  // namespace joincode
