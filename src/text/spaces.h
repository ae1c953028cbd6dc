// Spaces and letter case. A space is the byte 0x20 or the full-width GBK space A1 A1; tab, CR, LF
// and the other control bytes are not spaces. All three scan by characters (text.h).
//
//   TrimBoth("\xA1\xA1 a b ")   == "a b"
//   RemoveSpaces("x=p q")      == "x=pq"
//   ToLower("HTTP://\xC8\xBA") == "http://\xC8\xBA"
#pragma once

#include "text/text.h"

namespace joincode {

// Without leading spaces and without the final run of spaces. A lone high byte at the end is
// dropped, and the spaces before it stay.
[[nodiscard]] Text TrimBoth(const Text& text);

// Every space removed, every other character kept in order; a lone high byte at the end is dropped.
[[nodiscard]] Text RemoveSpaces(const Text& text);

// Each single-byte character A-Z lowered; both bytes of a double-byte character stay as they are.
[[nodiscard]] Text ToLower(const Text& text);

}  // namespace joincode
