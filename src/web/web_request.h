// One complete HTTP or HTTPS request over the internet layer (platform/inet.h): GET or POST, a
// body as text or bytes, cookies in and out, extra header lines, redirect control and a proxy.
//
//   Text jar;                                   // carries cookies from request to request
//   Text page = WebRequestText("http://example.org/a?b=1", {.sentCookies = &jar});
//   Bytes body = WebRequest(url, {.method = 1, .postText = "x=1", .noRedirect = true});
//
// Each call opens and closes its own handles; only the caller's in/out variables carry state.
// A failure of the outside world yields an empty body; there are no errors and no exceptions.
#pragma once

#include <cstdint>
#include <optional>

#include "text/text.h"

namespace joincode {

// Every member left as is counts as left out. A left-out pointer is served by an empty variable
// for the length of the call, so what the request writes there is lost.
struct WebRequestOptions {
  int32_t method = 0;               // 1: "POST", else "GET"; any value other than 0 sends a body
  Text postText{};                  // the body when postBytes is empty
  Text* sentCookies = nullptr;      // in/out: sent as a "Cookie:" line, then the merged jar
  Text* receivedCookies = nullptr;  // out: the pairs the response set, joined by ";"
  Text* extraHeaders = nullptr;     // in/out: lines joined by "\r\n", then the whole text sent
  Text* location = nullptr;         // out: the Location value; the raw headers if it had none
  bool noRedirect = false;          // a redirect answer comes back as it is
  Bytes* postBytes = nullptr;       // in/out: the body; receives postText when a body is sent
  std::optional<Text> proxy{};      // supplied (even empty): "http=" + proxy serves plain HTTP
  Text* rawHeaders = nullptr;       // out: status line and header lines of the final response
};

// The response body; empty when nothing was read or the request could not be opened, in which
// case every in/out variable keeps its value from entry.
[[nodiscard]] Bytes WebRequest(const Text& url, const WebRequestOptions& options = {});

// The body up to its first 0x00 byte.
[[nodiscard]] Text WebRequestText(const Text& url, const WebRequestOptions& options = {});

}  // namespace joincode
