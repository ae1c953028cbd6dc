// The code-page service on glibc's iconv. CP936 here is glibc's GBK table: 0x80 reads as the euro
// sign, and the user-defined areas (AAA1-AFFE, F8A1-FEFE, A140-A7A0) as well as FE50-FEA0, A2E3,
// A8BF and A989-A995 have no mapping, so they read as U+FFFD.
#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "text/convert.h"
#include "text/fatal_error.h"

namespace joincode::platform {
namespace {

constexpr char kUtf16[] = "UTF-16LE";

// One iconv conversion, opened on first use and closed at exit. iconv_t carries shift state, so
// each use takes the lock and starts from the initial state.
class IconvHolder {
 public:
  IconvHolder(const char* from, const char* to) : handle_(iconv_open(to, from)) {
    if (handle_ == reinterpret_cast<iconv_t>(-1)) {
      ReportFatalError(0, Concat("cannot open the code-page conversion ", from, " -> ", to));
    }
  }
  ~IconvHolder() { iconv_close(handle_); }
  IconvHolder(const IconvHolder&) = delete;
  IconvHolder& operator=(const IconvHolder&) = delete;

  [[nodiscard]] iconv_t handle() const { return handle_; }
  [[nodiscard]] std::mutex& mutex() { return mutex_; }

 private:
  iconv_t handle_;
  std::mutex mutex_;
};

enum class Page { kGbk, kUtf8, kUnsupported };

Page PageOf(uint32_t codePage) {
  switch (codePage) {
    case kCodePageAnsi:
    case kCodePageGbk:
      return Page::kGbk;
    case kCodePageUtf8:
      return Page::kUtf8;
    default:
      return Page::kUnsupported;
  }
}

IconvHolder& Reader(Page page) {
  if (page == Page::kGbk) {
    static IconvHolder gbk("CP936", kUtf16);
    return gbk;
  }
  static IconvHolder utf8("UTF-8", kUtf16);
  return utf8;
}

IconvHolder& Writer(Page page) {
  if (page == Page::kGbk) {
    static IconvHolder gbk(kUtf16, "CP936");
    return gbk;
  }
  static IconvHolder utf8(kUtf16, "UTF-8");
  return utf8;
}

bool IsGbkLead(unsigned char byte) {
  return byte >= 0x81 && byte <= 0xFE;
}
bool IsGbkTrail(unsigned char byte) {
  return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

// How many input bytes one U+FFFD stands for: a well-formed GBK byte pair without a mapping is one
// character; anything else is given up one byte at a time, so the next byte is read afresh.
size_t UnreadableLength(Page page, std::string_view rest) {
  const auto first = static_cast<unsigned char>(rest[0]);
  if (page == Page::kGbk && rest.size() >= 2 && IsGbkLead(first) &&
      IsGbkTrail(static_cast<unsigned char>(rest[1]))) {
    return 2;
  }
  return 1;
}

// Runs `holder` over `input`, calling onError(rest) at each byte it cannot convert; onError
// appends its replacement to `out` and returns how many input bytes to skip.
template <typename OnError>
void Convert(IconvHolder& holder, std::string_view input, std::string& out, OnError onError) {
  const std::lock_guard lock(holder.mutex());
  iconv(holder.handle(), nullptr, nullptr, nullptr, nullptr);
  std::array<char, 4096> chunk{};
  size_t offset = 0;
  while (offset < input.size()) {
    // iconv's interface is not const-correct; it never writes through the input pointer.
    char* in = const_cast<char*>(input.data()) + offset;
    size_t inLeft = input.size() - offset;
    char* outPtr = chunk.data();
    size_t outLeft = chunk.size();
    const size_t result = iconv(holder.handle(), &in, &inLeft, &outPtr, &outLeft);
    const int error = errno;
    out.append(chunk.data(), chunk.size() - outLeft);
    offset = input.size() - inLeft;
    if (result != static_cast<size_t>(-1) || error == E2BIG) {
      continue;
    }
    // EILSEQ, or EINVAL for a sequence cut off by the end of the input.
    iconv(holder.handle(), nullptr, nullptr, nullptr, nullptr);
    offset += onError(input.substr(offset));
  }
}

std::u16string Decode(Page page, std::string_view bytes) {
  std::string utf16;
  Convert(Reader(page), bytes, utf16, [&](std::string_view rest) {
    utf16.append("\xFD\xFF", 2);  // U+FFFD, low byte first
    return UnreadableLength(page, rest);
  });
  std::u16string units(utf16.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(utf16[2 * i]) |
                                     static_cast<unsigned char>(utf16[2 * i + 1]) << 8);
  }
  return units;
}

std::string Encode(Page page, std::u16string_view units) {
  std::string utf16(units.size() * 2, '\0');
  for (size_t i = 0; i < units.size(); ++i) {
    utf16[2 * i] = static_cast<char>(units[i] & 0xFF);
    utf16[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  std::string bytes;
  Convert(Writer(page), utf16, bytes, [&](std::string_view rest) -> size_t {
    bytes.push_back('?');
    const auto unit = [&](size_t i) {
      return static_cast<char16_t>(static_cast<unsigned char>(rest[2 * i]) |
                                   static_cast<unsigned char>(rest[2 * i + 1]) << 8);
    };
    // A whole surrogate pair is one character and gets one "?"; a lone surrogate gets its own.
    if (rest.size() >= 4 && unit(0) >= 0xD800 && unit(0) <= 0xDBFF && unit(1) >= 0xDC00 &&
        unit(1) <= 0xDFFF) {
      return 4;
    }
    return rest.size() >= 2 ? 2 : rest.size();
  });
  return bytes;
}

}  // namespace

// Output that does not fit is not written at all: a cut-off prefix could end inside a character.
int32_t MultiByteToWide(uint32_t codePage, const char* source, char16_t* output,
                        int32_t outputUnits) {
  const Page page = PageOf(codePage);
  if (page == Page::kUnsupported || source == nullptr || outputUnits < 0) {
    return 0;
  }
  std::u16string units = Decode(page, std::string_view(source, std::strlen(source)));
  units.push_back(u'\0');
  const auto needed = static_cast<int32_t>(units.size());
  if (outputUnits == 0) {
    return needed;
  }
  if (output == nullptr || needed > outputUnits) {
    return 0;
  }
  std::memcpy(output, units.data(), units.size() * sizeof(char16_t));
  return needed;
}

int32_t WideToMultiByte(uint32_t codePage, const char16_t* source, char* output,
                        int32_t outputBytes) {
  const Page page = PageOf(codePage);
  if (page == Page::kUnsupported || source == nullptr || outputBytes < 0) {
    return 0;
  }
  std::string bytes = Encode(page, std::u16string_view(source));
  bytes.push_back('\0');
  const auto needed = static_cast<int32_t>(bytes.size());
  if (outputBytes == 0) {
    return needed;
  }
  if (output == nullptr || needed > outputBytes) {
    return 0;
  }
  std::memcpy(output, bytes.data(), bytes.size());
  return needed;
}

}  // namespace joincode::platform
