// Conversions, fills, joins, comparisons and the array operations.
//
//   TextToInt("\xA3\xB8\xA3\xB0") == 80      HexText(-1) == "FFFFFFFF"
//   Concat("a", "b", "c") == "abc"           CompareText("", Text()) == 0
#pragma once

#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace joincode {

// Reads an optionally signed decimal integer after leading 0x09-0x0D and 0x20 bytes, full-width
// digits, signs and spaces (A3 xx, A1 A1) read as ASCII first. Wraps around in 32 bits; 0 when no
// digit follows. No hexadecimal, exponent or grouping.
[[nodiscard]] int32_t TextToInt(const Text& text);

// The value read as unsigned 32-bit, in upper-case hexadecimal without leading zeros.
[[nodiscard]] Text HexText(int32_t value);

// The one byte `code`; code 0 gives the empty Text.
[[nodiscard]] Text CharText(uint8_t code);

// `count` blanks (0x20); empty for a count of 0 or below.
[[nodiscard]] Text BlankText(int32_t count);
// `count` zero bytes, writable in place; empty for a count of 0 or below.
[[nodiscard]] Bytes BlankBytes(int32_t count);

// The bytes of the text, without a terminator.
[[nodiscard]] Bytes ToBytes(const Text& text);
// The bytes before the first 0x00, or all of them.
[[nodiscard]] Text BytesToText(const Bytes& bytes);
[[nodiscard]] inline Text BytesToText(const Text& text) { return text; }

namespace detail {
[[nodiscard]] Text ConcatViews(std::initializer_list<std::string_view> parts);
[[nodiscard]] Bytes ConcatByteViews(std::initializer_list<std::string_view> parts);
}  // namespace detail

// The operands joined in order.
template <typename... More>
[[nodiscard]] Text Concat(const Text& first, const Text& second, const More&... more) {
  return detail::ConcatViews({first.view(), second.view(), Text(more).view()...});
}
template <typename... More>
[[nodiscard]] Bytes ConcatBytes(const Bytes& first, const Bytes& second, const More&... more) {
  return detail::ConcatByteViews({first.view(), second.view(), more.view()...});
}

// Unsigned byte order, a prefix before the longer text: negative, 0 or positive.
[[nodiscard]] int32_t CompareText(const Text& left, const Text& right);
// 0 when both hold the same bytes, otherwise not 0.
[[nodiscard]] int32_t CompareBytes(const Bytes& left, const Bytes& right);

template <typename... More>
[[nodiscard]] constexpr int32_t BitOr(int32_t first, int32_t second, More... more) {
  return ((first | second) | ... | static_cast<int32_t>(more));
}

[[nodiscard]] int32_t ArraySize(const TextArray& array);
// A copy of `text` becomes the new last member.
void AppendMember(TextArray& array, const Text& text);

}  // namespace joincode
