#include "text/spaces.h"

#include <string>
#include <string_view>

#include "text/char_step.h"

namespace joincode {
namespace {

using char_step::CharLength;
using char_step::IsHigh;

// Bytes in the space at `at`: 1 for 0x20, 2 for the full-width A1 A1, 0 for anything else.
size_t SpaceLength(std::string_view bytes, size_t at) {
  if (bytes[at] == ' ') {
    return 1;
  }
  if (bytes[at] == '\xA1' && at + 1 < bytes.size() && bytes[at + 1] == '\xA1') {
    return 2;
  }
  return 0;
}

bool IsLoneFinalByte(std::string_view bytes, size_t at) {
  return at + 1 == bytes.size() && IsHigh(bytes[at]);
}

}  // namespace

Text TrimBoth(const Text& text) {
  const std::string_view bytes = text.view();
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t space = SpaceLength(bytes, at);
    if (space == 0) {
      break;
    }
    at += space;
  }
  const size_t begin = at;
  size_t end = at;  // just after the last character that is not a space
  while (at < bytes.size()) {
    if (IsLoneFinalByte(bytes, at)) {
      end = at;  // the byte goes, the spaces before it stay
      break;
    }
    const size_t space = SpaceLength(bytes, at);
    at += space != 0 ? space : CharLength(bytes, at);
    if (space == 0) {
      end = at;
    }
  }
  return Text(bytes.substr(begin, end - begin));
}

Text RemoveSpaces(const Text& text) {
  const std::string_view bytes = text.view();
  std::string kept;
  kept.reserve(bytes.size());
  size_t at = 0;
  while (at < bytes.size() && !IsLoneFinalByte(bytes, at)) {
    if (const size_t space = SpaceLength(bytes, at); space != 0) {
      at += space;
      continue;
    }
    const size_t length = CharLength(bytes, at);
    kept.append(bytes.substr(at, length));
    at += length;
  }
  return Text(std::move(kept));
}

Text ToLower(const Text& text) {
  std::string lowered(text.view());
  size_t at = 0;
  while (at < lowered.size()) {
    const size_t length = CharLength(lowered, at);
    if (length == 1) {
      lowered[at] = char_step::FoldCase(lowered[at]);
    }
    at += length;
  }
  return Text(std::move(lowered));
}

}  // namespace joincode
