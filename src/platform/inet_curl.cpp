// The internet layer on libcurl. One easy handle per request; SendRequest runs the whole exchange,
// following redirects itself so that method changes, scheme rules and the hop limit are ours, and
// keeps the final response's body and header block for ReadFile and QueryInfo.
#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/inet.h"

namespace joincode::platform {

struct InternetObject {
  virtual ~InternetObject() = default;
};

namespace {

constexpr size_t kMaxHeaderBlockBytes = size_t{1} << 20;  // a header flood ends the transfer
// Unread body bytes beyond which curl is paused until ReadFile has caught up; keeps the buffer
// small and hot instead of letting one burst of the network grow it to megabytes.
constexpr size_t kPendingBytes = size_t{16} << 10;

// --- Small byte helpers -------------------------------------------------------------------------

bool IsControlByte(unsigned char byte) {
  return byte < 0x20 || byte == 0x7F;
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

// Entries separated by ";" or blanks, as in WinInet's proxy and bypass lists.
std::vector<std::string> ListEntries(const char* list) {
  std::vector<std::string> entries;
  if (list == nullptr)
    return entries;
  std::string entry;
  for (const char* p = list;; ++p) {
    if (*p == '\0' || *p == ';' || IsBlank(*p) || *p == '\r' || *p == '\n') {
      if (!entry.empty())
        entries.push_back(std::move(entry));
      entry.clear();
      if (*p == '\0')
        break;
    } else {
      entry.push_back(*p);
    }
  }
  return entries;
}

// --- curl ownership -----------------------------------------------------------------------------

void EnsureCurlInitialised() {
  static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
  (void)initialised;
}

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;

struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

std::string UrlPart(CURLU* url, CURLUPart part) {
  char* value = nullptr;
  std::string result;
  if (curl_url_get(url, part, &value, 0) == CURLUE_OK && value != nullptr)
    result = value;
  curl_free(value);
  return result;
}

// --- Handles ------------------------------------------------------------------------------------

struct SessionSettings {
  std::string agent;
  bool proxied = false;
  std::string httpProxy;   // empty: direct
  std::string httpsProxy;  // empty: direct
  std::vector<std::string> bypass;
};

struct Session : InternetObject {
  SessionSettings settings;
};

struct Connection : InternetObject {
  SessionSettings settings;
  std::string host;
  int32_t port = 0;
};

struct Origin {
  std::string scheme;
  std::string host;
  long port = 0;
  friend bool operator==(const Origin&, const Origin&) = default;
};

struct Request : InternetObject {
  SessionSettings settings;
  std::string host;
  int32_t port = 0;
  std::string verb;
  std::string target;  // the object as it goes on the wire
  long httpVersion = CURL_HTTP_VERSION_1_1;
  std::string referrer;
  std::string acceptTypes;
  uint32_t flags = 0;

  // The transfer: the body streams through `pending` as ReadFile asks for it.
  MultiHandle multi;
  EasyHandle easy;
  HeaderList headerList;
  std::string sendData;
  bool running = false;
  bool paused = false;
  CURLcode result = CURLE_OK;

  // The response of the latest hop.
  std::string pending;
  size_t readPosition = 0;
  int64_t bodyReceived = 0;
  int64_t maxBodyBytes = 0;
  bool bodyCapped = false;
  std::string headerBlock;
  std::string location;
  long status = 0;
  bool inHeaders = false;
  bool headersComplete = false;  // of a final (not 1xx) response
  bool headersTooLarge = false;

  // curl's low-speed rule averages over seconds, so silence after some bytes would outlast the
  // idle time-out; once bytes flow, the time since the last one is kept here and checked by us.
  std::chrono::milliseconds idleTimeout{0};
  std::chrono::steady_clock::time_point lastReceived{};
  bool receivedAny = false;

  void MarkReceived() {
    lastReceived = std::chrono::steady_clock::now();
    receivedAny = true;
  }
  [[nodiscard]] bool IdleTooLong() const {
    return receivedAny && std::chrono::steady_clock::now() - lastReceived >= idleTimeout;
  }

  ~Request() override { Stop(); }

  void Stop() {
    if (running)
      curl_multi_remove_handle(multi.get(), easy.get());
    running = false;
  }
  void ResetResponse() {
    pending.clear();
    readPosition = 0;
    bodyReceived = 0;
    bodyCapped = false;
    headerBlock.clear();
    location.clear();
    status = 0;
    inHeaders = false;
    headersComplete = false;
    headersTooLarge = false;
    receivedAny = false;
  }
};

class HandleTable {
 public:
  InternetHandle Add(std::unique_ptr<InternetObject> object) {
    std::lock_guard lock(mutex_);
    InternetHandle handle = object.get();
    objects_.emplace(handle, std::move(object));
    return handle;
  }
  template <typename Kind>
  Kind* Find(InternetHandle handle) {
    std::lock_guard lock(mutex_);
    auto found = objects_.find(handle);
    return found == objects_.end() ? nullptr : dynamic_cast<Kind*>(found->second.get());
  }
  bool Remove(InternetHandle handle) {
    std::unique_ptr<InternetObject> object;
    {
      std::lock_guard lock(mutex_);
      auto found = objects_.find(handle);
      if (found == objects_.end())
        return false;
      object = std::move(found->second);
      objects_.erase(found);
    }
    return true;  // the object goes here, outside the lock
  }

 private:
  std::mutex mutex_;
  std::unordered_map<InternetHandle, std::unique_ptr<InternetObject>> objects_;
};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}

std::mutex limitsMutex;
InternetLimits& Limits() {
  static InternetLimits limits;
  return limits;
}
InternetLimits CurrentLimits() {
  std::lock_guard lock(limitsMutex);
  return Limits();
}

// --- Callbacks ----------------------------------------------------------------------------------

size_t OnBody(char* data, size_t size, size_t count, void* context) {
  auto* request = static_cast<Request*>(context);
  const size_t bytes = size * count;
  if (request->pending.size() - request->readPosition >= kPendingBytes) {
    request->paused = true;
    return CURL_WRITEFUNC_PAUSE;  // curl keeps this chunk and hands it over again on resume
  }
  const auto room =
      static_cast<size_t>(std::max<int64_t>(0, request->maxBodyBytes - request->bodyReceived));
  const size_t taken = std::min(bytes, room);
  request->pending.append(data, taken);
  request->bodyReceived += static_cast<int64_t>(taken);
  request->MarkReceived();
  if (taken < bytes) {
    request->bodyCapped = true;
    return 0;  // ends the transfer; what fitted is kept
  }
  return bytes;
}

// curl hands over one header line at a time, for every response of the exchange (1xx included).
size_t OnHeader(char* data, size_t size, size_t count, void* context) {
  auto* request = static_cast<Request*>(context);
  const size_t bytes = size * count;
  request->MarkReceived();
  std::string_view line(data, bytes);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
    line.remove_suffix(1);
  if (line.starts_with("HTTP/")) {
    request->headerBlock.clear();
    request->location.clear();
    request->inHeaders = true;
    const size_t space = line.find(' ');
    request->status =
        space == std::string_view::npos
            ? 0
            : std::strtol(std::string(line.substr(space + 1, 3)).c_str(), nullptr, 10);
  } else if (!request->inHeaders) {
    return bytes;  // trailers after the body are not part of the block
  }
  if (request->headerBlock.size() + line.size() + 2 > kMaxHeaderBlockBytes) {
    request->headersTooLarge = true;
    return 0;
  }
  request->headerBlock.append(line);
  request->headerBlock.append("\r\n");
  if (line.size() > 9 && StartsWithIgnoringCase(line, "Location:")) {
    request->location = std::string(TrimBlanks(line.substr(9)));
  }
  if (line.empty()) {
    request->inHeaders = false;
    request->headersComplete = request->status >= 200 || request->status < 100;
  }
  return bytes;
}

// Runs the transfer until `ready` holds or the transfer has ended.
template <typename Ready>
void PumpUntil(Request& request, Ready ready) {
  while (request.running && !ready()) {
    int active = 0;
    if (curl_multi_perform(request.multi.get(), &active) != CURLM_OK) {
      request.result = CURLE_RECV_ERROR;
      request.Stop();
      break;
    }
    if (active == 0) {
      int left = 0;
      while (CURLMsg* message = curl_multi_info_read(request.multi.get(), &left)) {
        if (message->msg == CURLMSG_DONE)
          request.result = message->data.result;
      }
      request.Stop();
      break;
    }
    if (request.IdleTooLong()) {
      request.result = CURLE_OPERATION_TIMEDOUT;
      request.Stop();
      break;
    }
    if (!ready()) {
      int waitMs = 1000;
      if (request.receivedAny) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            request.lastReceived + request.idleTimeout - std::chrono::steady_clock::now());
        waitMs = static_cast<int>(std::clamp<int64_t>(left.count() + 1, 1, waitMs));
      }
      curl_multi_poll(request.multi.get(), nullptr, 0, waitMs, nullptr);
    }
  }
}

// --- Sending ------------------------------------------------------------------------------------

struct HeaderLines {
  std::vector<std::string> lines;  // as curl wants them: "Name: value", or "Name;" for no value
  bool valid = true;
};

// Splits at "\r\n"; a line with any other control byte (tab aside) makes the whole text invalid.
HeaderLines ParseHeaderText(std::string_view text) {
  HeaderLines result;
  while (!text.empty()) {
    const size_t end = text.find("\r\n");
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 2);
    if (line.empty())
      continue;
    for (unsigned char byte : line) {
      if (IsControlByte(byte) && byte != '\t') {
        result.valid = false;
        return result;
      }
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0)
      continue;  // not a header line
    // curl takes "Name:" with nothing after it as "remove my own Name"; "Name;" sends it empty.
    if (TrimBlanks(line.substr(colon + 1)).empty()) {
      result.lines.push_back(std::string(line.substr(0, colon)) + ";");
    } else {
      result.lines.emplace_back(line);
    }
  }
  return result;
}

std::string_view LineName(std::string_view line) {
  const size_t end = line.find_first_of(":;");
  return TrimBlanks(line.substr(0, end));
}

bool HasLine(const std::vector<std::string>& lines, std::string_view name) {
  return std::any_of(lines.begin(), lines.end(), [name](const std::string& line) {
    return EqualsIgnoringCase(LineName(line), name);
  });
}

HeaderList BuildHeaderList(const std::vector<std::string>& given, const Request& request,
                           bool sameOrigin) {
  std::vector<std::string> lines;
  for (const std::string& line : given) {
    const std::string_view name = LineName(line);
    // Credentials and the Host line belong to the first origin only.
    if (!sameOrigin &&
        (EqualsIgnoringCase(name, "Cookie") || EqualsIgnoringCase(name, "Authorization") ||
         EqualsIgnoringCase(name, "Host"))) {
      continue;
    }
    lines.push_back(line);
  }
  if (!request.referrer.empty() && !HasLine(lines, "Referer")) {
    lines.push_back("Referer: " + request.referrer);
  }
  if (!request.acceptTypes.empty() && !HasLine(lines, "Accept")) {
    lines.push_back("Accept: " + request.acceptTypes);
  }
  // Headers curl would add on its own that the caller did not ask for.
  for (const char* own : {"Accept", "Content-Type", "Expect"}) {
    if (!HasLine(lines, own))
      lines.push_back(std::string(own) + ":");
  }
  curl_slist* list = nullptr;
  for (const std::string& line : lines) {
    curl_slist* grown = curl_slist_append(list, line.c_str());
    if (grown == nullptr) {
      curl_slist_free_all(list);
      return nullptr;
    }
    list = grown;
  }
  return HeaderList(list);
}

bool Bypassed(const std::vector<std::string>& bypass, std::string_view host) {
  for (std::string_view entry : bypass) {
    if (entry == "<local>") {
      if (host.find('.') == std::string_view::npos)
        return true;
    } else if (entry.starts_with("*.") || entry.starts_with(".")) {
      const std::string_view suffix = entry.substr(entry.find('.'));
      if (host.size() > suffix.size() &&
          EqualsIgnoringCase(host.substr(host.size() - suffix.size()), suffix)) {
        return true;
      }
    } else if (entry == "*" || EqualsIgnoringCase(entry, host)) {
      return true;
    }
  }
  return false;
}

struct Hop {
  std::string url;     // scheme://host:port, or the whole address on later hops
  std::string target;  // request target on the first hop, empty afterwards
  Origin origin;
  std::string verb;
  bool sendBody = false;
};

std::optional<Origin> OriginOf(const std::string& url) {
  UrlHandle parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
    return std::nullopt;
  }
  Origin origin;
  origin.scheme = UrlPart(parsed.get(), CURLUPART_SCHEME);
  origin.host = UrlPart(parsed.get(), CURLUPART_HOST);
  char* port = nullptr;
  if (curl_url_get(parsed.get(), CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK &&
      port != nullptr) {
    origin.port = std::strtol(port, nullptr, 10);
  }
  curl_free(port);
  for (char& c : origin.scheme)
    c = LowerAscii(c);
  return origin;
}

// The first hop's address from the connection's host and port; nullopt when they make none.
std::optional<Hop> FirstHop(const Request& request) {
  const bool secure = (request.flags & kFlagSecure) != 0;
  const char* scheme = secure ? "https" : "http";
  int32_t port = request.port;
  if (port == 0)
    port = secure ? 443 : 80;
  if (port < 1 || port > 65535)
    return std::nullopt;
  UrlHandle url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_SCHEME, scheme, 0) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_HOST, request.host.c_str(), 0) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_PORT, std::to_string(port).c_str(), 0) != CURLUE_OK) {
    return std::nullopt;
  }
  char* text = nullptr;
  if (curl_url_get(url.get(), CURLUPART_URL, &text, CURLU_NO_DEFAULT_PORT) != CURLUE_OK) {
    return std::nullopt;
  }
  Hop hop;
  hop.url = text;
  curl_free(text);
  if (!hop.url.empty() && hop.url.back() == '/')
    hop.url.pop_back();
  hop.target = request.target;
  hop.origin = Origin{scheme, request.host, port};
  for (char& c : hop.origin.host)
    c = LowerAscii(c);
  return hop;
}

// The address a Location value names, resolved against the address it came from.
std::optional<std::string> ResolveRedirect(const std::string& base, const std::string& location) {
  UrlHandle url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, base.c_str(), CURLU_URLENCODE) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_URL, location.c_str(), CURLU_URLENCODE) != CURLUE_OK) {
    return std::nullopt;
  }
  char* text = nullptr;
  if (curl_url_get(url.get(), CURLUPART_URL, &text, 0) != CURLUE_OK)
    return std::nullopt;
  std::string resolved = text;
  curl_free(text);
  return resolved;
}

bool IsRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

class CurlInternet final : public Internet {
 public:
  InternetHandle Open(const char* agent, int32_t accessType, const char* proxyList,
                      const char* bypassList, uint32_t /*flags*/) override {
    if (accessType != kOpenTypeDirect && accessType != kOpenTypeProxy)
      return nullptr;
    EnsureCurlInitialised();
    auto session = std::make_unique<Session>();
    if (agent != nullptr)
      session->settings.agent = agent;
    if (accessType == kOpenTypeProxy) {
      session->settings.proxied = true;
      for (const std::string& entry : ListEntries(proxyList)) {
        const size_t equals = entry.find('=');
        if (equals == std::string::npos) {
          session->settings.httpProxy = session->settings.httpsProxy = entry;
        } else if (EqualsIgnoringCase(std::string_view(entry).substr(0, equals), "http")) {
          session->settings.httpProxy = entry.substr(equals + 1);
        } else if (EqualsIgnoringCase(std::string_view(entry).substr(0, equals), "https")) {
          session->settings.httpsProxy = entry.substr(equals + 1);
        }
      }
      session->settings.bypass = ListEntries(bypassList);
    }
    return Handles().Add(std::move(session));
  }

  InternetHandle Connect(InternetHandle sessionHandle, const char* host, int32_t port,
                         const char* /*userName*/, const char* /*password*/, int32_t service,
                         uint32_t /*flags*/, uintptr_t /*context*/) override {
    Session* session = Handles().Find<Session>(sessionHandle);
    if (session == nullptr || service != kServiceHttp || host == nullptr || *host == '\0') {
      return nullptr;
    }
    auto connection = std::make_unique<Connection>();
    connection->settings = session->settings;
    connection->host = host;
    connection->port = port;
    return Handles().Add(std::move(connection));
  }

  InternetHandle OpenRequest(InternetHandle connectionHandle, const char* verb, const char* object,
                             const char* version, const char* referrer,
                             const char* const* acceptTypes, uint32_t flags,
                             uintptr_t /*context*/) override {
    Connection* connection = Handles().Find<Connection>(connectionHandle);
    if (connection == nullptr)
      return nullptr;
    auto request = std::make_unique<Request>();
    request->verb = (verb == nullptr || *verb == '\0') ? "GET" : verb;
    for (unsigned char byte : request->verb) {
      if (IsControlByte(byte) || byte == ' ')
        return nullptr;
    }
    // The object goes on the wire as given, but a control byte could end the request line.
    std::string_view given = object == nullptr ? "" : object;
    if (given.empty() || given.front() != '/')
      request->target = "/";
    for (unsigned char byte : given) {
      if (IsControlByte(byte))
        return nullptr;
      if (byte == ' ') {
        request->target += "%20";
      } else {
        request->target += static_cast<char>(byte);
      }
    }
    if (version != nullptr && std::string_view(version) == "HTTP/1.0") {
      request->httpVersion = CURL_HTTP_VERSION_1_0;
    }
    if (referrer != nullptr) {
      for (unsigned char byte : std::string_view(referrer)) {
        if (IsControlByte(byte))
          return nullptr;
      }
      request->referrer = referrer;
    }
    for (const char* const* type = acceptTypes; type != nullptr && *type != nullptr; ++type) {
      for (unsigned char byte : std::string_view(*type)) {
        if (IsControlByte(byte))
          return nullptr;
      }
      if (!request->acceptTypes.empty())
        request->acceptTypes += ", ";
      request->acceptTypes += *type;
    }
    request->settings = connection->settings;
    request->host = connection->host;
    request->port = connection->port;
    request->flags = flags;
    request->easy.reset(curl_easy_init());
    request->multi.reset(curl_multi_init());
    if (!request->easy || !request->multi)
      return nullptr;
    return Handles().Add(std::move(request));
  }

  bool SendRequest(InternetHandle requestHandle, const char* headers, int32_t headersLength,
                   const void* optional, int32_t optionalLength) override {
    Request* request = Handles().Find<Request>(requestHandle);
    if (request == nullptr)
      return false;
    request->Stop();
    request->ResetResponse();
    std::string_view headerText;
    if (headers != nullptr) {
      headerText = headersLength < 0
                       ? std::string_view(headers)
                       : std::string_view(headers, static_cast<size_t>(headersLength));
    }
    const HeaderLines given = ParseHeaderText(headerText);
    if (!given.valid)
      return false;
    if (optionalLength < 0 || (optional == nullptr && optionalLength > 0))
      return false;
    // Kept by the request: the body may still be going out after this call returns.
    request->sendData.assign(optional == nullptr ? "" : static_cast<const char*>(optional),
                             static_cast<size_t>(optionalLength));

    std::optional<Hop> hop = FirstHop(*request);
    if (!hop)
      return false;
    hop->verb = request->verb;
    hop->sendBody = !request->sendData.empty() || !(hop->verb == "GET" || hop->verb == "HEAD");
    const Origin firstOrigin = hop->origin;
    const InternetLimits limits = CurrentLimits();
    request->maxBodyBytes = limits.maxBodyBytes;

    for (int32_t redirects = 0;; ++redirects) {
      request->ResetResponse();
      if (!StartHop(*request, *hop, given.lines, hop->origin == firstOrigin, limits)) {
        return false;
      }
      PumpUntil(*request, [request] { return request->headersComplete; });
      if (!request->headersComplete || request->headersTooLarge) {
        request->Stop();
        request->ResetResponse();
        return false;
      }
      if ((request->flags & kFlagNoAutoRedirect) != 0 || !IsRedirect(request->status) ||
          request->location.empty()) {
        return true;  // the body streams from here on
      }
      const std::optional<std::string> next =
          ResolveRedirect(hop->url + hop->target, request->location);
      const std::optional<Origin> nextOrigin = next ? OriginOf(*next) : std::optional<Origin>();
      if (!nextOrigin || !MayFollow(request->flags, hop->origin.scheme, nextOrigin->scheme)) {
        return true;  // the redirect answer itself is the final response
      }
      request->Stop();  // its body is of no interest
      if (redirects >= limits.maxRedirects) {
        request->ResetResponse();
        return false;
      }
      if (request->status != 307 && request->status != 308 && hop->verb != "HEAD") {
        hop->verb = "GET";
        hop->sendBody = false;
      }
      hop->url = *next;
      hop->target.clear();
      hop->origin = *nextOrigin;
    }
  }

  bool ReadFile(InternetHandle requestHandle, void* buffer, int32_t bytesToRead,
                int32_t* bytesRead) override {
    if (bytesRead == nullptr)
      return false;
    *bytesRead = 0;
    Request* request = Handles().Find<Request>(requestHandle);
    if (request == nullptr || bytesToRead < 0 || (buffer == nullptr && bytesToRead > 0)) {
      return false;
    }
    if (request->readPosition == request->pending.size()) {
      request->pending.clear();  // keeps its room for the next delivery
      request->readPosition = 0;
      if (request->paused) {
        request->paused = false;
        request->MarkReceived();  // the pause was ours, not the server's silence
        curl_easy_pause(request->easy.get(), CURLPAUSE_CONT);
      }
      PumpUntil(*request, [request] { return !request->pending.empty(); });
    }
    const size_t count =
        std::min(static_cast<size_t>(bytesToRead), request->pending.size() - request->readPosition);
    if (count > 0)
      std::memcpy(buffer, request->pending.data() + request->readPosition, count);
    request->readPosition += count;
    *bytesRead = static_cast<int32_t>(count);
    // The end of the body is a success; a transfer cut short is not, past what arrived before.
    return count > 0 || request->running || request->result == CURLE_OK || request->bodyCapped;
  }

  bool QueryInfo(InternetHandle requestHandle, int32_t infoLevel, void* buffer,
                 int32_t* bufferLength, int32_t* /*index*/) override {
    Request* request = Handles().Find<Request>(requestHandle);
    if (request == nullptr || bufferLength == nullptr || infoLevel != kQueryRawHeadersCrlf ||
        !request->headersComplete) {
      return false;
    }
    const std::string& block = request->headerBlock;
    const auto needed = static_cast<int64_t>(block.size()) + 1;
    if (buffer == nullptr || *bufferLength < needed) {
      *bufferLength = static_cast<int32_t>(std::min<int64_t>(needed, INT32_MAX));
      return false;
    }
    std::memcpy(buffer, block.data(), block.size());
    static_cast<char*>(buffer)[block.size()] = '\0';
    *bufferLength = static_cast<int32_t>(block.size());
    return true;
  }

  bool CloseHandle(InternetHandle handle) override { return Handles().Remove(handle); }

 private:
  static bool MayFollow(uint32_t flags, const std::string& from, const std::string& to) {
    if (to != "http" && to != "https")
      return false;
    if (from == "http" && to == "https")
      return (flags & kFlagIgnoreRedirectToHttps) != 0;
    if (from == "https" && to == "http")
      return (flags & kFlagIgnoreRedirectToHttp) != 0;
    return true;
  }

  // Sets the easy handle up for one hop and puts it to work.
  static bool StartHop(Request& request, const Hop& hop, const std::vector<std::string>& lines,
                       bool sameOrigin, const InternetLimits& limits) {
    CURL* easy = request.easy.get();
    curl_easy_reset(easy);
    request.headerList = BuildHeaderList(lines, request, sameOrigin);
    if (!request.headerList)
      return false;

    const SessionSettings& settings = request.settings;
    std::string proxy;
    if (settings.proxied && !Bypassed(settings.bypass, hop.origin.host)) {
      proxy = hop.origin.scheme == "https" ? settings.httpsProxy : settings.httpProxy;
    }
    std::string target = hop.target;
    if (!target.empty() && !proxy.empty() && hop.origin.scheme == "http") {
      target = hop.url + target;  // a proxy wants the absolute address
    }

    curl_easy_setopt(easy, CURLOPT_URL, hop.url.c_str());
    if (!target.empty())
      curl_easy_setopt(easy, CURLOPT_REQUEST_TARGET, target.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, request.httpVersion);
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());  // "" also ignores the environment
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, request.headerList.get());
    if (!settings.agent.empty())
      curl_easy_setopt(easy, CURLOPT_USERAGENT, settings.agent.c_str());
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::max<int64_t>(1, limits.connectTimeout.count())));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME,
                     static_cast<long>(std::max<int64_t>(1, limits.idleTimeout.count())));
    if (!limits.testCaFile.empty()) {
      curl_easy_setopt(easy, CURLOPT_CAINFO, limits.testCaFile.c_str());
      curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    }
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &request);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &request);

    if (hop.verb == "HEAD") {
      curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (hop.sendBody) {
      curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                       static_cast<curl_off_t>(request.sendData.size()));
      curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.sendData.c_str());
      if (hop.verb != "POST")
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, hop.verb.c_str());
    } else {
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
      if (hop.verb != "GET")
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, hop.verb.c_str());
    }
    request.idleTimeout =
        std::max(std::chrono::milliseconds(1), std::chrono::milliseconds(limits.idleTimeout));
    request.result = CURLE_OK;
    if (curl_multi_add_handle(request.multi.get(), easy) != CURLM_OK)
      return false;
    request.running = true;
    return true;
  }
};

CurlInternet& CurlBackend() {
  static CurlInternet backend;
  return backend;
}

std::atomic<Internet*> replacement{nullptr};

}  // namespace

Internet& CurrentInternet() {
  Internet* internet = replacement.load();
  return internet != nullptr ? *internet : CurlBackend();
}

Internet* SetInternet(Internet* internet) {
  Internet* previous = replacement.exchange(internet);
  return previous != nullptr ? previous : &CurlBackend();
}

InternetLimits SetInternetLimits(const InternetLimits& limits) {
  std::lock_guard lock(limitsMutex);
  InternetLimits previous = Limits();
  Limits() = limits;
  return previous;
}

}  // namespace joincode::platform
