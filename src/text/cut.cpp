#include "text/cut.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace joincode {

int32_t TextLength(const Text& text) {
  return text.size();
}

int32_t BytesLength(const Bytes& bytes) {
  return bytes.size();
}

Text TextLeft(const Text& text, int32_t count) {
  if (count <= 0) {
    return {};
  }
  return Text(text.view().substr(0, static_cast<size_t>(count)));
}

Text TextRight(const Text& text, int32_t count) {
  if (count <= 0) {
    return {};
  }
  const std::string_view bytes = text.view();
  const size_t kept = std::min(bytes.size(), static_cast<size_t>(count));
  return Text(bytes.substr(bytes.size() - kept));
}

Text TextMid(const Text& text, int32_t startPosition, int32_t count) {
  if (startPosition < 1 || startPosition > text.size() || count <= 0) {
    return {};
  }
  return Text(
      text.view().substr(static_cast<size_t>(startPosition) - 1, static_cast<size_t>(count)));
}

Bytes BytesLeft(const Bytes& bytes, int32_t count) {
  if (count <= 0) {
    return {};
  }
  return Bytes(bytes.view().substr(0, static_cast<size_t>(count)));
}

}  // namespace joincode
