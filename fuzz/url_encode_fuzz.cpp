// Holds UrlEncode to its output form: only safe bytes and "%XX" escapes with upper-case digits,
// decoding back to the source bytes, and every byte escaped when nothing is kept.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "text/code_page.h"
#include "text/url_encode.h"

using namespace joincode;

namespace {

bool IsSafe(unsigned char c) {
  return c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z');
}

int UpperHexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// Decodes `encoded`, checking its form on the way; `escapes` counts the "%XX" runs.
std::string Decode(std::string_view encoded, bool keepSafe, size_t& escapes) {
  std::string decoded;
  for (size_t p = 0; p < encoded.size();) {
    auto c = static_cast<unsigned char>(encoded[p]);
    if (c != '%') {
      FUZZ_CHECK(keepSafe && IsSafe(c), "UrlEncode let an unsafe byte through");
      decoded += static_cast<char>(c);
      ++p;
      continue;
    }
    FUZZ_CHECK(p + 2 < encoded.size(), "UrlEncode escape with fewer than two digits");
    int high = UpperHexDigit(encoded[p + 1]);
    int low = UpperHexDigit(encoded[p + 2]);
    FUZZ_CHECK(high >= 0 && low >= 0, "UrlEncode escape is not two upper-case hex digits");
    auto byte = static_cast<unsigned char>(high * 16 + low);
    FUZZ_CHECK(!(keepSafe && IsSafe(byte)), "UrlEncode escaped a safe byte it should keep");
    decoded += static_cast<char>(byte);
    ++escapes;
    p += 3;
  }
  return decoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  bool keepSafe = in.ConsumeBool();
  bool asUtf8 = in.ConsumeBool();
  Text text(in.ConsumeRemainingBytesAsString());
  fuzzref::ShowArguments() = [&] {
    fuzzref::Show("keepSafe", keepSafe);
    fuzzref::Show("asUtf8", asUtf8);
    fuzzref::Show("text", text.view());
  };

  Text encoded = UrlEncode(text, keepSafe, asUtf8);
  size_t escapes = 0;
  std::string decoded = Decode(encoded.view(), keepSafe, escapes);
  // With asUtf8 the escaped bytes are those of the GBK text converted to UTF-8.
  std::string expected = asUtf8 ? GbkToUtf8(text).str() : text.str();
  FUZZ_CHECK(decoded == expected, "UrlEncode does not decode back to its source bytes");
  if (asUtf8 && std::none_of(text.view().begin(), text.view().end(), fuzzref::IsHigh)) {
    FUZZ_CHECK(decoded == text.view(), "UrlEncode with asUtf8 changed plain ASCII bytes");
  }
  if (!keepSafe) {
    FUZZ_CHECK(escapes == decoded.size() && encoded.view().size() == 3 * decoded.size(),
               "UrlEncode without keepSafe does not give three bytes per byte");
  }
  return 0;
}
