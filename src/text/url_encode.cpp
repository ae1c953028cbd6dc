#include "text/url_encode.h"

#include <string>

#include "text/code_page.h"
#include "text/convert.h"
#include "text/cut.h"

namespace joincode {
namespace {

bool IsSafe(uint8_t byte) {
  return byte == '-' || byte == '.' || (byte >= '0' && byte <= '9') ||
         (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

}  // namespace

Text UrlEncode(const Text& text, bool keepSafe, bool asUtf8) {
  const Bytes source = ToBytes(asUtf8 ? GbkToUtf8(text) : text);
  const int32_t count = BytesLength(source);
  // Built in one string: joining a new Text per byte would make long texts quadratic.
  std::string result;
  result.reserve(static_cast<size_t>(count) * 3);
  for (int32_t i = 1; i <= count; ++i) {
    const uint8_t byte = ByteAt(source, i);
    if (keepSafe && IsSafe(byte)) {
      result += CharText(byte).view();
      continue;
    }
    Text digits = HexText(byte);
    if (TextLength(digits) < 2) {
      digits = Concat("0", digits);
    }
    result += '%';
    result += digits.view();
  }
  return Text(std::move(result));
}

}  // namespace joincode
