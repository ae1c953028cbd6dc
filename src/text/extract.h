// Cutting values out of delimited text: between two markers, after a header's colon, before a
// cookie's equals sign. These are the only parsers; answers, URLs and headers are plain text.
//
//   TextBetween("{\"key\":\"K1\"}]}}", "\"key\":\"", "\"}]}}")  == "K1"
//   HeaderValue("Location: http://h:81/x")                      == "http://h:81/x"
//   CookieName(" sid =abc=1")                                   == "sid"
#pragma once

#include <cstdint>

#include "text/text.h"

namespace joincode {

// In a marker, these bytes ("#引号" in GBK) stand for one double quote.
inline constexpr char kQuotePlaceholder[] = "\x23\xD2\xFD\xBA\xC5";

// The bytes between the first leftMarker at or after startPosition (below 1: the first byte) and
// the first rightMarker after it; empty when either is missing. Letters match without regard to
// case unless caseSensitive. A second left marker before the right one is part of the result.
[[nodiscard]] Text TextBetween(const Text& text, const Text& leftMarker, const Text& rightMarker,
                               int32_t startPosition = 0, bool caseSensitive = false);

// Everything after the first ":" of `line`, without outer spaces; empty when there is no ":".
[[nodiscard]] Text HeaderValue(const Text& line);

// Everything before the first "=" of `pair`, without outer spaces; the whole pair when it has none.
[[nodiscard]] Text CookieName(const Text& pair);

}  // namespace joincode
