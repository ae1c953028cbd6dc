// Taking an absolute URL apart for the HTTP request: host, port and path with query. No grammar:
// the routines look for the scheme markers, "/", ":" and ".", and never fail.
//
//   UrlHost("HTTP://Srv.Alpha.BETA:8080/a/B?c=d")              == "srv.alpha.beta"
//   UrlPort("HTTP://Srv.Alpha.BETA:8080/a/B?c=d")              == 8080
//   UrlPath("HTTP://Srv.Alpha.BETA:8080/a/B?c=d")              == "/a/B?c=d"
//
// A scheme counts only at the very start ("https://" or "http://", any case); a URL without one is
// read as "http://" followed by the URL.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace joincode {

// The lower-case host: what lies between the scheme and the next "/". With baseDomainOnly only its
// last two dot-separated labels; without keepPort cut at its first ":".
[[nodiscard]] Text UrlHost(const Text& url, bool baseDomainOnly = false, bool keepPort = false);

// The digits after the host's last ":" (0 when none follow); without a ":", 443 when the URL
// begins with "https" in any case and 80 otherwise.
[[nodiscard]] int32_t UrlPort(const Text& url);

// From the first "/" after the scheme to the end, query and capitals kept; "/" when there is none.
[[nodiscard]] Text UrlPath(const Text& url);

}  // namespace joincode
