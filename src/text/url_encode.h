// Percent-encoding for URL query strings, byte by byte.
//
//   UrlEncode("[6986280]", true)           == "%5B6986280%5D"
//   UrlEncode("\xC8\xBA", false, true)     == "%E7%BE%A4"   (GBK 群 sent as UTF-8)
#pragma once

#include "text/text.h"

namespace joincode {

// Every byte of `text` as "%" and two upper-case hex digits. With keepSafe, the bytes "-", ".",
// 0-9, A-Z and a-z stay as they are ("/", "_", "~" and all bytes 0x80-0xFF are still escaped).
// With asUtf8, the GBK text is converted to UTF-8 first.
[[nodiscard]] Text UrlEncode(const Text& text, bool keepSafe = false, bool asUtf8 = false);

}  // namespace joincode
