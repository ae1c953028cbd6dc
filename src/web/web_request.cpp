#include "web/web_request.h"

#include <algorithm>

#include "platform/inet.h"
#include "text/convert.h"
#include "text/cut.h"
#include "text/extract.h"
#include "text/search.h"
#include "text/spaces.h"
#include "web/cookies.h"
#include "web/url.h"

namespace joincode {

namespace {

namespace inet = platform;

constexpr const char* kDefaultAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Qvix; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";
constexpr int32_t kChunkBytes = 1024;
constexpr int32_t kHeaderBufferBytes = 5000;

Text AgentFor(const Text& extraHeaders) {
  if (FindText(extraHeaders, "User-Agent:", std::nullopt, true) == -1)
    return kDefaultAgent;
  Text agent = TrimBoth(TextBetween(extraHeaders, "User-Agent:", "\r\n"));
  if (agent.empty())
    agent = HeaderValue(extraHeaders);
  return agent;
}

// The name=value pair of a Set-Cookie line: up to the first ";", or the rest of the line when the
// cookie has no attributes (a plain cut at ";" would lose "Set-Cookie: sid=7").
Text SetCookiePair(const Text& line) {
  Text pair = TrimBoth(TextBetween(line, "Set-Cookie:", ";"));
  if (!pair.empty())
    return pair;
  const Text marker = "Set-Cookie:";
  const int32_t start = FindText(line, marker, std::nullopt, true);
  if (start == -1)
    return pair;
  const Text rest = TextMid(line, start + TextLength(marker), TextLength(line));
  if (FindText(rest, ";") != -1)
    return pair;
  return TrimBoth(rest);
}

void AppendHeaderLine(Text& headers, const Text& line) {
  headers = headers.empty() ? line : Concat(headers, "\r\n", line);
}

}  // namespace

Bytes WebRequest(const Text& url, const WebRequestOptions& options) {
  // A copy: the caller may hand one of its in/out texts as the URL.
  const Text address = url;  // NOLINT(performance-unnecessary-copy-initialization)
  Text unusedSentCookies, unusedReceivedCookies, unusedExtraHeaders, unusedLocation,
      unusedRawHeaders;
  Bytes unusedPostBytes;
  Text& sentCookies = options.sentCookies ? *options.sentCookies : unusedSentCookies;
  Text& receivedCookies =
      options.receivedCookies ? *options.receivedCookies : unusedReceivedCookies;
  Text& extraHeaders = options.extraHeaders ? *options.extraHeaders : unusedExtraHeaders;
  Text& location = options.location ? *options.location : unusedLocation;
  Bytes& postBytes = options.postBytes ? *options.postBytes : unusedPostBytes;
  Text& rawHeaders = options.rawHeaders ? *options.rawHeaders : unusedRawHeaders;

  inet::Internet& net = inet::CurrentInternet();
  const Text verb = options.method == 1 ? "POST" : "GET";
  const Text agent = AgentFor(extraHeaders);

  // Opening. Nothing of the caller's is written until all three handles are open.
  const Text proxyList = options.proxy ? Concat("http=", *options.proxy) : Text();
  inet::InternetHandle session =
      options.proxy ? net.Open(agent.c_str(), inet::kOpenTypeProxy, proxyList.c_str(), "", 0)
                    : net.Open(agent.c_str(), inet::kOpenTypeDirect, nullptr, nullptr, 0);
  if (session == nullptr)
    return Bytes();
  const Text host = UrlHost(address);
  inet::InternetHandle connection = net.Connect(session, host.c_str(), UrlPort(address), nullptr,
                                                nullptr, inet::kServiceHttp, 0, 0);
  if (connection == nullptr) {
    net.CloseHandle(session);
    return Bytes();
  }
  uint32_t flags = inet::kFlagReload | inet::kFlagNeedFile | inet::kFlagNoCookies;
  if (options.noRedirect)
    flags |= inet::kFlagNoAutoRedirect;
  if (CompareText(ToLower(TextLeft(address, 5)), "https") == 0) {
    flags |= inet::kFlagSecure;
  } else {
    flags |= inet::kFlagIgnoreRedirectToHttps;
  }
  const Text path = UrlPath(address);
  inet::InternetHandle request = net.OpenRequest(connection, verb.c_str(), path.c_str(), "HTTP/1.1",
                                                 nullptr, nullptr, flags, 0);
  if (request == nullptr) {
    net.CloseHandle(connection);
    net.CloseHandle(session);
    return Bytes();
  }

  // The header text: each default line only when the caller's text lacks its name.
  if (FindText(extraHeaders, "Referer:") == -1) {
    AppendHeaderLine(extraHeaders, Concat("Referer: ", address));
  }
  if (FindText(extraHeaders, "Accept:") == -1)
    AppendHeaderLine(extraHeaders, "Accept: */*");
  if (FindText(extraHeaders, "Accept-Language:") == -1) {
    AppendHeaderLine(extraHeaders, "Accept-Language: zh-cn");
  }
  if (FindText(extraHeaders, "Content-Type:") == -1) {
    AppendHeaderLine(extraHeaders, "Content-Type: application/x-www-form-urlencoded");
  }
  if (!sentCookies.empty())
    AppendHeaderLine(extraHeaders, Concat("Cookie: ", sentCookies));

  // Sending; its result is not looked at: a failed send leaves nothing to read.
  if (options.method == 0) {
    net.SendRequest(request, extraHeaders.c_str(), TextLength(extraHeaders), "", 0);
  } else {
    if (CompareBytes(postBytes, Bytes()) == 0)
      postBytes = ToBytes(options.postText);
    net.SendRequest(request, extraHeaders.c_str(), TextLength(extraHeaders),
                    postBytes.empty() ? nullptr : postBytes.data(), BytesLength(postBytes));
  }

  // Reading. Appending in place keeps the body linear in its size.
  // One chunk buffer serves every read: the layer reports how many of its bytes it wrote.
  Bytes body;
  Bytes buffer = BlankBytes(kChunkBytes);
  for (;;) {
    int32_t count = 0;
    net.ReadFile(request, buffer.data(), kChunkBytes, &count);
    if (count <= 0)
      break;
    body.Append(buffer.view().substr(0, static_cast<size_t>(std::min(count, kChunkBytes))));
  }

  // The header block, NUL-terminated by the layer; a block that does not fit leaves the blanks.
  Bytes headerBuffer = ToBytes(BlankText(kHeaderBufferBytes));
  int32_t headerBufferLength = kHeaderBufferBytes;
  net.QueryInfo(request, inet::kQueryRawHeadersCrlf, headerBuffer.data(), &headerBufferLength,
                nullptr);
  rawHeaders = BytesToText(headerBuffer);

  net.CloseHandle(request);
  net.CloseHandle(connection);
  net.CloseHandle(session);

  // Location and cookies of the response.
  receivedCookies = Text();
  for (const Text& line : SplitText(rawHeaders, "\r\n")) {
    if (FindText(line, "Location:") != -1)
      location = HeaderValue(line);
    if (FindText(line, "Set-Cookie") != -1) {
      receivedCookies = Concat(receivedCookies, SetCookiePair(line), "; ");
    }
  }
  receivedCookies = TextLeft(receivedCookies, TextLength(receivedCookies) - 2);
  if (CompareText(location, "") == 0)
    location = rawHeaders;
  MergeCookies(sentCookies, receivedCookies);
  return body;
}

Text WebRequestText(const Text& url, const WebRequestOptions& options) {
  return BytesToText(WebRequest(url, options));
}

}  // namespace joincode
