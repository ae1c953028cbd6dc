#include "text/text.h"

#include <cstring>
#include <ostream>
#include <string>

#include "text/convert.h"
#include "text/fatal_error.h"

namespace joincode {
namespace {

std::string_view BeforeFirstNul(std::string_view bytes) {
  return bytes.substr(0, bytes.find('\0'));
}

// Codes 4 and 1 tell a too-small index from a too-large one.
void CheckPosition(int32_t position, int32_t count, const char* what) {
  if (position < 1) {
    ReportFatalError(4, Concat(what, " index ", std::to_string(position), " is below 1"));
  }
  if (position > count) {
    ReportFatalError(1, Concat(what, " index ", std::to_string(position), " is above the count ",
                               std::to_string(count)));
  }
}

void PrintEscaped(std::ostream& out, std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out << '"';
  for (unsigned char byte : bytes) {
    if (byte >= 0x20 && byte < 0x7F && byte != '\\' && byte != '"') {
      out << static_cast<char>(byte);
    } else {
      out << "\\x" << kDigits[byte >> 4] << kDigits[byte & 0x0F];
    }
  }
  out << '"';
}

}  // namespace

Text::Text(const char* cString) : bytes_(cString == nullptr ? "" : cString) {}
Text::Text(std::string_view bytes) : bytes_(BeforeFirstNul(bytes)) {}
Text::Text(const std::string& bytes) : bytes_(BeforeFirstNul(bytes)) {}
Text::Text(std::string&& bytes) : bytes_(std::move(bytes)) {
  if (const auto nul = bytes_.find('\0'); nul != std::string::npos) {
    bytes_.resize(nul);
  }
}

const Text& TextArray::Member(int32_t position) const {
  CheckPosition(position, size(), "array member");
  return members_[static_cast<size_t>(position - 1)];
}

uint8_t ByteAt(const Bytes& bytes, int32_t position) {
  CheckPosition(position, bytes.size(), "byte");
  return static_cast<uint8_t>(bytes.data()[position - 1]);
}

std::ostream& operator<<(std::ostream& out, const Text& text) {
  PrintEscaped(out, text.view());
  return out;
}

std::ostream& operator<<(std::ostream& out, const Bytes& bytes) {
  PrintEscaped(out, bytes.view());
  return out;
}

}  // namespace joincode
