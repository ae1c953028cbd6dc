// Searching, replacing and splitting by characters. The scan starts at the first byte it examines
// and steps GBK-style (text.h), so a match never starts on the second byte of a double-byte
// character. Case folding, where asked for, maps only A-Z to a-z, on every byte of the span.
//
//   FindText("a:b:c", ":")                      == 2
//   FindText("a:b:c", ":", 3)                   == 4   (counted from the first byte)
//   FindTextReverse("a:b:c", ":")               == 4
//   ReplaceText("x#y#", "#", "--", {}, {}, true) == "x--y--"
//   SplitText("P;;Q;", ";")                     == {"P", "", "Q"}
#pragma once

#include <cstdint>
#include <optional>

#include "text/text.h"

namespace joincode {

// Position of the first occurrence of `pattern` at a character start at or after startPosition,
// or -1. A start of 0, 1 or below searches from the first byte. An empty pattern yields 1 when the
// searched region is not empty, -1 when it is.
[[nodiscard]] int32_t FindText(const Text& text, const Text& pattern,
                               std::optional<int32_t> startPosition = std::nullopt,
                               bool caseInsensitive = false);

// Position of the last occurrence lying wholly within the first R bytes, scanning character starts
// from the first byte. R is the length when startPosition is absent, else startPosition - 1
// clamped to 0..length. An empty pattern yields 1 when R > 0, else -1.
[[nodiscard]] int32_t FindTextReverse(const Text& text, const Text& pattern,
                                      std::optional<int32_t> startPosition = std::nullopt,
                                      bool caseInsensitive = false);

// Replaces occurrences from left to right, without overlap, from startPosition on (absent or
// below 1: the first byte), at most replaceCount of them (absent or negative: all). The inserted
// replacement is never scanned again. With an empty text or pattern, a start beyond the text or a
// count of 0 the result is a copy. A lone high byte at the end that a one-byte pattern reaches and
// does not match is dropped.
[[nodiscard]] Text ReplaceText(const Text& text, const Text& pattern, const Text& replacement,
                               std::optional<int32_t> startPosition,
                               std::optional<int32_t> replaceCount, bool caseSensitive);

// Splits at every exact occurrence of `delimiter` (absent: ","), keeping at most maxCount members
// (absent: no limit, negative: 0). Empty text or maxCount 0: no members. Empty delimiter: one
// member, the text. A leading or doubled delimiter gives empty members, a trailing one does not.
[[nodiscard]] TextArray SplitText(const Text& text, const Text& delimiter = ",",
                                  std::optional<int32_t> maxCount = std::nullopt);

}  // namespace joincode
