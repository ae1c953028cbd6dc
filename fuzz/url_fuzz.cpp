// Holds UrlHost, UrlPort and UrlPath to the shape of their results (a lower-case host without a
// slash, a path that starts with "/" and ends the URL) and to a reference built on plain scans.
// A scheme counts only at the very start of the URL.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "web/url.h"

using namespace joincode;
using namespace fuzzref;

namespace {

std::string RefHost(std::string_view url, bool baseDomainOnly, bool keepPort) {
  std::string v = RefLower(url);
  if (v.empty() || v.back() != '/') {
    v += '/';
  }
  if (v.compare(0, 8, "https://") == 0) {
    v = RefBetween(v, "https://", "/", 0, false);
  } else {
    if (v.compare(0, 7, "http://") != 0) {
      v = "http://" + v;
    }
    v = RefBetween(v, "http://", "/", 0, false);
  }
  if (baseDomainOnly) {
    auto labels = RefSplit(v, ".", std::nullopt);
    if (labels.size() > 1) {
      v = labels[labels.size() - 2] + "." + labels.back();
    }
  }
  if (!keepPort) {
    int64_t colon = RefFind(v, ":", 1, false);
    if (colon != -1) {
      v.resize(static_cast<size_t>(colon - 1));
    }
  }
  return v;
}

int32_t RefPort(std::string_view url) {
  std::string host = RefHost(url, false, true);
  int64_t colon = RefFindReverse(host, ":", std::nullopt, false);
  if (colon != -1) {
    return RefTextToInt(std::string_view(host).substr(static_cast<size_t>(colon)));
  }
  return RefLower(url).compare(0, 5, "https") == 0 ? 443 : 80;
}

// A scheme counts only at the very start; the path begins at the first "/" after it.
std::string RefPath(std::string_view url) {
  std::string lowered = RefLower(url);
  int64_t hostStart = lowered.compare(0, 8, "https://") == 0  ? 9
                      : lowered.compare(0, 7, "http://") == 0 ? 8
                                                              : 1;
  int64_t slash = RefFind(url, "/", hostStart, false);
  return slash == -1 ? std::string("/") : std::string(url.substr(static_cast<size_t>(slash - 1)));
}

void CheckHostShape(std::string_view host, bool keepPort) {
  for (std::string_view c : Chars(host)) {
    FUZZ_CHECK(!(c.size() == 1 && c[0] >= 'A' && c[0] <= 'Z'), "UrlHost is not lower case");
    FUZZ_CHECK(c != "/", "UrlHost holds a slash");
    FUZZ_CHECK(keepPort || c != ":", "UrlHost kept a port it should cut");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  bool baseDomainOnly = in.ConsumeBool();
  bool keepPort = in.ConsumeBool();
  Text url(in.ConsumeRemainingBytesAsString());
  std::string_view u = url.view();
  ShowArguments() = [&] {
    Show("baseDomainOnly", baseDomainOnly);
    Show("keepPort", keepPort);
    Show("url", u);
  };

  Text host = UrlHost(url, baseDomainOnly, keepPort);
  CheckHostShape(host.view(), keepPort);
  FUZZ_CHECK(host.view() == RefHost(u, baseDomainOnly, keepPort),
             "UrlHost differs from the reference");

  Text withPort = UrlHost(url, false, true);
  Text plain = UrlHost(url);
  FUZZ_CHECK(withPort.view().substr(0, plain.view().size()) == plain.view(),
             "UrlHost without the port is no prefix of the host with it");

  FUZZ_CHECK(UrlPort(url) == RefPort(u), "UrlPort differs from the reference");

  Text path = UrlPath(url);
  std::string_view p = path.view();
  FUZZ_CHECK(!p.empty() && p[0] == '/', "UrlPath does not start with a slash");
  FUZZ_CHECK(p == "/" || (p.size() <= u.size() && u.substr(u.size() - p.size()) == p),
             "UrlPath is neither \"/\" nor the end of the URL");
  FUZZ_CHECK(p == RefPath(u), "UrlPath differs from the reference");
  return 0;
}
