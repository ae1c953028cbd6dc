// Lengths and byte-counted cuts of Text and Bytes. They count plain bytes, so they can cut a
// double-byte character in two; counts and positions outside the value are clamped.
//
//   TextLeft("abcdef", 2)     == "ab"
//   TextMid("abcdef", 5, 9)   == "ef"
//   TextRight("abc", -2)      == ""
#pragma once

#include <cstdint>

#include "text/text.h"

namespace joincode {

[[nodiscard]] int32_t TextLength(const Text& text);
[[nodiscard]] int32_t BytesLength(const Bytes& bytes);

// The first min(count, length) bytes; empty for a count of 0 or below.
[[nodiscard]] Text TextLeft(const Text& text, int32_t count);
// The last min(count, length) bytes; empty for a count of 0 or below.
[[nodiscard]] Text TextRight(const Text& text, int32_t count);
// `count` bytes from `startPosition` on, or all that remain. Empty when startPosition is below 1 or
// beyond the length, or count is 0 or below.
[[nodiscard]] Text TextMid(const Text& text, int32_t startPosition, int32_t count);

// The first min(count, length) bytes; empty for a count of 0 or below.
[[nodiscard]] Bytes BytesLeft(const Bytes& bytes, int32_t count);

}  // namespace joincode
