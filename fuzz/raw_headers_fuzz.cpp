// Drives WebRequest over a fake internet layer that answers with the fuzz input as its raw header
// block and an empty body, and holds the header scan to a reference: the Location value, the
// received cookies and the merged cookie text.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/inet.h"
#include "text/text.h"
#include "web/web_request.h"

using namespace joincode;
using namespace fuzzref;
namespace inet = joincode::platform;

namespace {

// Every request succeeds at once; the only thing it returns is `headerBlock`.
class HeaderOnlyInternet final : public inet::Internet {
 public:
  std::string headerBlock;

  inet::InternetHandle Open(const char*, int32_t, const char*, const char*, uint32_t) override {
    return Handle();
  }
  inet::InternetHandle Connect(inet::InternetHandle, const char*, int32_t, const char*, const char*,
                               int32_t, uint32_t, uintptr_t) override {
    return Handle();
  }
  inet::InternetHandle OpenRequest(inet::InternetHandle, const char*, const char*, const char*,
                                   const char*, const char* const*, uint32_t, uintptr_t) override {
    return Handle();
  }
  bool SendRequest(inet::InternetHandle, const char*, int32_t, const void*, int32_t) override {
    return true;
  }
  bool ReadFile(inet::InternetHandle, void*, int32_t, int32_t* bytesRead) override {
    *bytesRead = 0;
    return true;
  }
  bool QueryInfo(inet::InternetHandle, int32_t infoLevel, void* buffer, int32_t* bufferLength,
                 int32_t*) override {
    FUZZ_CHECK(infoLevel == inet::kQueryRawHeadersCrlf, "header query for another info level");
    auto needed = static_cast<int32_t>(headerBlock.size() + 1);
    if (needed > *bufferLength) {
      *bufferLength = needed;
      return false;
    }
    std::memcpy(buffer, headerBlock.c_str(), headerBlock.size() + 1);
    *bufferLength = needed - 1;
    return true;
  }
  bool CloseHandle(inet::InternetHandle) override { return true; }

 private:
  // Opaque to the caller and never dereferenced, so any stable address serves.
  inet::InternetHandle Handle() { return reinterpret_cast<inet::InternetHandle>(&anchor_); }
  char anchor_ = 0;
};

struct Expected {
  std::string location;
  std::string received;  // before the merge takes its spaces out
  bool lastPairEmpty = false;
};

// The pair in front of the first attribute; a cookie without attributes runs to the line's end.
std::string SetCookiePair(std::string_view line) {
  std::string pair = RefTrim(RefBetween(line, "Set-Cookie:", ";", 0, false));
  int64_t marker = RefFind(line, "Set-Cookie:", std::nullopt, true);
  if (!pair.empty() || marker == -1) {
    return pair;
  }
  std::string_view rest = line.substr(static_cast<size_t>(marker - 1) + 11);
  return RefFind(rest, ";", std::nullopt, false) == -1 ? RefTrim(rest) : std::string();
}

Expected ScanHeaders(std::string_view raw, std::string_view locationOnEntry) {
  Expected expected{std::string(locationOnEntry), {}};
  for (const std::string& line : RefSplit(raw, "\r\n", std::nullopt)) {
    if (RefFind(line, "Location:", std::nullopt, false) != -1) {
      expected.location = RefHeaderValue(line);
    }
    if (RefFind(line, "Set-Cookie", std::nullopt, false) != -1) {
      std::string pair = SetCookiePair(line);
      expected.lastPairEmpty = pair.empty();
      expected.received += pair + "; ";
    }
  }
  expected.received.resize(expected.received.size() >= 2 ? expected.received.size() - 2 : 0);
  if (expected.location.empty()) {
    expected.location = raw;
  }
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static HeaderOnlyInternet fake;
  static const bool installed = (inet::SetInternet(&fake), true);
  (void)installed;

  FuzzedDataProvider in(data, size);
  Text sentCookies(in.ConsumeRandomLengthString(48));
  Text location(in.ConsumeBool() ? in.ConsumeRandomLengthString(16) : std::string());
  // Now and then a block too long for the header buffer, so that the failed query is tried too.
  bool oversized = in.ConsumeIntegralInRange(0, 15) == 0;
  fake.headerBlock = in.ConsumeRemainingBytesAsString();
  if (oversized) {
    fake.headerBlock.resize(std::max<size_t>(fake.headerBlock.size(), 4999) + 1, 'x');
  }
  const Text sentOnEntry = sentCookies;
  const Text locationOnEntry = location;
  Text receivedCookies;
  Text rawHeaders;
  ShowArguments() = [&] {
    Show("sentCookies on entry", sentOnEntry.view());
    Show("location on entry", locationOnEntry.view());
    Show("header block", fake.headerBlock);
    Show("sentCookies now", sentCookies.view());
    Show("receivedCookies now", receivedCookies.view());
    Show("location now", location.view());
  };

  WebRequestOptions options;
  options.sentCookies = &sentCookies;
  options.receivedCookies = &receivedCookies;
  options.location = &location;
  options.rawHeaders = &rawHeaders;
  Bytes body = WebRequest("http://fuzz.test/headers", options);

  FUZZ_CHECK(body.empty(), "WebRequest made up a body");
  // A block that does not fit the 5000-byte buffer with its NUL leaves the buffer's blanks.
  std::string raw =
      fake.headerBlock.size() < 5000 ? AsText(fake.headerBlock) : std::string(5000, ' ');
  FUZZ_CHECK(rawHeaders.view() == raw, "rawHeaders is not the block the layer returned");

  Expected expected = ScanHeaders(raw, locationOnEntry.view());
  FUZZ_CHECK(location.view() == AsText(expected.location),
             "location is not the value of the last Location line, or else the raw headers");

  auto chars = Chars(receivedCookies.view());
  for (std::string_view c : chars) {
    FUZZ_CHECK(!IsSpaceChar(c), "receivedCookies holds a space");
  }
  // Only a last Set-Cookie line that yields no pair leaves its ";" behind.
  FUZZ_CHECK(chars.empty() || chars.back() != ";" || expected.lastPairEmpty,
             "receivedCookies ends in \";\"");
  FUZZ_CHECK(receivedCookies.view() == RefRemoveSpaces(expected.received),
             "receivedCookies differs from the Set-Cookie lines");
  FUZZ_CHECK(
      sentCookies.view() == Join(RefMergedPairs(sentOnEntry.view(), expected.received), "; "),
      "sentCookies is not the merge of the sent and received cookies");
  return 0;
}
