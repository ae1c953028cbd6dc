// The internet layer: seven blocking operations for one HTTP(S) request at a time, on three kinds
// of opaque handle (session, connection, request), each null on failure.
//
//   Internet& net = CurrentInternet();
//   InternetHandle session = net.Open("agent", kOpenTypeDirect, nullptr, nullptr, 0);
//   InternetHandle connection = net.Connect(session, "example.org", 80, nullptr, nullptr,
//                                           kServiceHttp, 0, 0);
//   InternetHandle request = net.OpenRequest(connection, "GET", "/", "HTTP/1.1", nullptr, nullptr,
//                                            kFlagReload | kFlagNoCookies, 0);
//   net.SendRequest(request, "Accept: */*", -1, nullptr, 0);  // the whole exchange happens here
//   ... ReadFile until it reports 0 bytes, QueryInfo(kQueryRawHeadersCrlf), CloseHandle x3.
//
// The layer keeps no cookies and no cache, and sends only the header lines it is given plus Host,
// body length and connection handling. Redirects are followed inside SendRequest unless
// kFlagNoAutoRedirect is set; the body and headers read afterwards are those of the final response.
// Tests replace the backend with SetInternet and may shorten its limits with SetInternetLimits.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace joincode::platform {

// Handles are opaque and owned by the layer until CloseHandle.
struct InternetObject;
using InternetHandle = InternetObject*;

inline constexpr int32_t kOpenTypeDirect = 1;  // no proxy, whatever the environment says
inline constexpr int32_t kOpenTypeProxy = 3;   // proxy list such as "http=host:port"
inline constexpr int32_t kServiceHttp = 3;
inline constexpr int32_t kQueryRawHeadersCrlf = 22;

inline constexpr uint32_t kFlagReload = 0x80000000;
inline constexpr uint32_t kFlagSecure = 0x00800000;                 // TLS, certificate verified
inline constexpr uint32_t kFlagNoAutoRedirect = 0x00200000;         // a 3xx answer comes back as is
inline constexpr uint32_t kFlagNoCookies = 0x00080000;              // always so in this layer
inline constexpr uint32_t kFlagIgnoreRedirectToHttp = 0x00008000;   // https may go to http
inline constexpr uint32_t kFlagIgnoreRedirectToHttps = 0x00004000;  // http may go to https
inline constexpr uint32_t kFlagNeedFile = 0x00000010;

class Internet {
 public:
  virtual ~Internet() = default;

  // A session. accessType kOpenTypeDirect ignores both lists; kOpenTypeProxy reads proxyList as
  // entries "scheme=server" or "server", separated by ";" or blanks, and bypassList likewise.
  virtual InternetHandle Open(const char* agent, int32_t accessType, const char* proxyList,
                              const char* bypassList, uint32_t flags) = 0;
  // A connection to host:port (port 0: the scheme's default). Nothing goes on the wire yet.
  virtual InternetHandle Connect(InternetHandle session, const char* host, int32_t port,
                                 const char* userName, const char* password, int32_t service,
                                 uint32_t flags, uintptr_t context) = 0;
  // A request. Null verb means "GET", null version "HTTP/1.1". An object holding a control byte
  // is refused, so nothing from it can reach the header section.
  virtual InternetHandle OpenRequest(InternetHandle connection, const char* verb,
                                     const char* object, const char* version, const char* referrer,
                                     const char* const* acceptTypes, uint32_t flags,
                                     uintptr_t context) = 0;
  // Performs the exchange. headers: lines separated by "\r\n", headersLength -1 for a
  // NUL-terminated text. A header line holding a control byte other than tab fails the send
  // before anything is sent. False when no final response was received.
  virtual bool SendRequest(InternetHandle request, const char* headers, int32_t headersLength,
                           const void* optional, int32_t optionalLength) = 0;
  // Copies up to bytesToRead bytes of the body; *bytesRead is 0 at its end or on failure.
  virtual bool ReadFile(InternetHandle request, void* buffer, int32_t bytesToRead,
                        int32_t* bytesRead) = 0;
  // kQueryRawHeadersCrlf: the final response's status line and header lines, each ending
  // "\r\n", then "\r\n" and a NUL. When that does not fit *bufferLength bytes, fails, stores the
  // size needed and leaves the buffer as it was; on success stores the length without the NUL.
  virtual bool QueryInfo(InternetHandle request, int32_t infoLevel, void* buffer,
                         int32_t* bufferLength, int32_t* index) = 0;
  // Releases a handle of any kind; children may outlive their parent. False for an unknown one.
  virtual bool CloseHandle(InternetHandle handle) = 0;
};

// The layer in use: the libcurl backend unless a test put its own in place.
Internet& CurrentInternet();
// Puts `internet` in place (nullptr: the libcurl backend again) and returns the one it replaced.
Internet* SetInternet(Internet* internet);

// Limits of the libcurl backend. The program keeps the defaults; tests shorten them.
struct InternetLimits {
  std::chrono::milliseconds connectTimeout{60'000};
  std::chrono::seconds idleTimeout{30};       // a transfer that receives nothing this long ends
  int64_t maxBodyBytes = int64_t{256} << 20;  // the body is cut here and the transfer ends
  int32_t maxRedirects = 20;                  // one more redirect fails the send
  std::string testCaFile;  // tests only: a PEM file trusted instead of the system store
};
// Replaces the limits for later sends and returns the ones it replaced.
InternetLimits SetInternetLimits(const InternetLimits& limits);

}  // namespace joincode::platform
