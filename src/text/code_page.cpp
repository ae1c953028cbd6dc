#include "text/code_page.h"

#include <string>

#include "platform/codepage.h"
#include "text/convert.h"

namespace joincode {
namespace {

using platform::kCodePageAnsi;

// Units are stored low byte first whatever the machine's byte order.
Bytes UnitsToBytes(const std::u16string& units) {
  Bytes bytes = BlankBytes(static_cast<int32_t>(units.size()) * 2);
  char* out = bytes.data();
  for (char16_t unit : units) {
    *out++ = static_cast<char>(unit & 0xFF);
    *out++ = static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::u16string UnitsUpToZero(const Bytes& wide) {
  std::u16string units;
  const std::string_view bytes = wide.view();
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (unit == u'\0') {
      break;
    }
    units.push_back(unit);
  }
  return units;
}

}  // namespace

Bytes ToWideText(const Text& text, uint32_t codePage) {
  // Sized in the ANSI code page first; a text that needs more units in `codePage` (invalid UTF-8
  // gives one U+FFFD per byte, where GBK pairs the bytes) gets a second, larger try.
  int32_t units = platform::MultiByteToWide(kCodePageAnsi, text.c_str(), nullptr, 0);
  std::u16string buffer(static_cast<size_t>(units), u'\0');
  if (platform::MultiByteToWide(codePage, text.c_str(), buffer.data(), units) == 0) {
    const int32_t needed = platform::MultiByteToWide(codePage, text.c_str(), nullptr, 0);
    if (needed > units) {
      units = needed;
      buffer.assign(static_cast<size_t>(units), u'\0');
      platform::MultiByteToWide(codePage, text.c_str(), buffer.data(), units);
    }
  }
  return UnitsToBytes(buffer);
}

Text FromWideText(const Bytes& wide, uint32_t codePage) {
  const std::u16string units = UnitsUpToZero(wide);
  // Twice the ANSI size is room for any GBK text as UTF-8; U+FFFD and characters outside GBK can
  // need more, and then the buffer grows instead of the text being lost.
  int32_t size = platform::WideToMultiByte(kCodePageAnsi, units.c_str(), nullptr, 0) * 2;
  std::string buffer(static_cast<size_t>(size), ' ');
  if (platform::WideToMultiByte(codePage, units.c_str(), buffer.data(), size) == 0) {
    const int32_t needed = platform::WideToMultiByte(codePage, units.c_str(), nullptr, 0);
    if (needed <= size) {
      return Text();
    }
    size = needed;
    buffer.assign(static_cast<size_t>(size), ' ');
    platform::WideToMultiByte(codePage, units.c_str(), buffer.data(), size);
  }
  return Text(std::move(buffer));
}

Text GbkToUtf8(const Text& text) {
  return FromWideText(ToWideText(text, platform::kCodePageGbk), platform::kCodePageUtf8);
}

}  // namespace joincode
