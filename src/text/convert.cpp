#include "text/convert.h"

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

#include "text/char_step.h"
#include "text/fatal_error.h"

namespace joincode {
namespace {

// The text with full-width ASCII forms (A3 A1-FE) and the full-width space (A1 A1) read as their
// single-byte forms; every other character is kept whole.
std::string WithAsciiForms(std::string_view bytes) {
  std::string ascii;
  ascii.reserve(bytes.size());
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t length = char_step::CharLength(bytes, at);
    if (length == 2) {
      const auto lead = static_cast<unsigned char>(bytes[at]);
      const auto trail = static_cast<unsigned char>(bytes[at + 1]);
      if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
        ascii.push_back(static_cast<char>(trail - 0x80));
        at += 2;
        continue;
      }
      if (lead == 0xA1 && trail == 0xA1) {
        ascii.push_back(' ');
        at += 2;
        continue;
      }
    }
    ascii.append(bytes.substr(at, length));
    at += length;
  }
  return ascii;
}

bool IsDigit(char byte) {
  return byte >= '0' && byte <= '9';
}

bool IsLeadingBlank(char byte) {
  return byte == ' ' || (byte >= '\t' && byte <= '\r');
}

void CheckLength(size_t length) {
  if (length > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    ReportFatalError(0, "joined value is longer than 2147483647 bytes");
  }
}

}  // namespace

int32_t TextToInt(const Text& text) {
  const std::string ascii = WithAsciiForms(text.view());
  size_t at = 0;
  while (at < ascii.size() && IsLeadingBlank(ascii[at])) {
    ++at;
  }
  bool negative = false;
  if (at < ascii.size() && (ascii[at] == '+' || ascii[at] == '-')) {
    negative = ascii[at] == '-';
    ++at;
  }
  // Unsigned arithmetic gives the 32-bit wrap-around without undefined behaviour.
  uint32_t value = 0;
  for (; at < ascii.size() && IsDigit(ascii[at]); ++at) {
    value = value * 10U + static_cast<uint32_t>(ascii[at] - '0');
  }
  if (negative) {
    value = 0U - value;
  }
  return static_cast<int32_t>(value);
}

Text HexText(int32_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto remaining = static_cast<uint32_t>(value);
  char digits[8];
  size_t first = sizeof digits;
  do {
    digits[--first] = kDigits[remaining & 0x0FU];
    remaining >>= 4;
  } while (remaining != 0);
  return Text(std::string_view(digits + first, sizeof digits - first));
}

Text CharText(uint8_t code) {
  if (code == 0) {
    return {};
  }
  return Text(std::string(1, static_cast<char>(code)));
}

Text BlankText(int32_t count) {
  if (count <= 0) {
    return {};
  }
  return Text(std::string(static_cast<size_t>(count), ' '));
}

Bytes BlankBytes(int32_t count) {
  if (count <= 0) {
    return {};
  }
  return Bytes(std::string(static_cast<size_t>(count), '\0'));
}

Bytes ToBytes(const Text& text) {
  return Bytes(text.view());
}

Text BytesToText(const Bytes& bytes) {
  return Text(bytes.view());
}

namespace detail {
namespace {

std::string JoinViews(std::initializer_list<std::string_view> parts) {
  size_t total = 0;
  for (const std::string_view part : parts) {
    total += part.size();
  }
  CheckLength(total);
  std::string joined;
  joined.reserve(total);
  for (const std::string_view part : parts) {
    joined.append(part);
  }
  return joined;
}

}  // namespace

Text ConcatViews(std::initializer_list<std::string_view> parts) {
  return Text(JoinViews(parts));
}

Bytes ConcatByteViews(std::initializer_list<std::string_view> parts) {
  return Bytes(JoinViews(parts));
}

}  // namespace detail

int32_t CompareText(const Text& left, const Text& right) {
  // char_traits<char> orders bytes as unsigned values.
  const int order = left.view().compare(right.view());
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int32_t CompareBytes(const Bytes& left, const Bytes& right) {
  const int order = left.view().compare(right.view());
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int32_t ArraySize(const TextArray& array) {
  return array.size();
}

void AppendMember(TextArray& array, const Text& text) {
  array.Append(text);
}

}  // namespace joincode
