// The three value types every routine of joincode is written with.
//
//   Text      the bytes before the first NUL, in GBK (code page 936). Absent and empty are one value.
//   Bytes     a length-counted byte buffer that may hold NULs; writable in place.
//   TextArray a list of Text whose members are numbered from 1.
//
//   Text host = "example.org";            // a literal is a Text
//   Text cut(std::string_view("a\0b", 3)); // == "a": a Text ends at its first NUL
//   Bytes body(std::string("a\0b", 3));     // keeps all three bytes
//
// Rules that hold for every primitive (see cut.h, search.h, spaces.h, convert.h):
//   - lengths and positions count bytes; positions are 1-based and counted from the first byte of
//     the whole Text; a search that finds nothing yields -1;
//   - counts and positions outside a value are clamped, never reported as errors;
//   - routines that scan by characters step GBK-style: a byte 0x80-0xFF takes the next byte along as
//     its second byte, and a lone high byte at the very end is a character by itself;
//   - integers are 32-bit signed; a value never grows beyond INT32_MAX bytes.
// Reading a TextArray member (or a Bytes byte) outside 1..count is a defect and ends the program
// through ReportFatalError (fatal_error.h): code 4 below 1, code 1 above the count.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace joincode {

class Text {
 public:
  Text() = default;
  // Implicit on purpose: literals and std::strings pass wherever a Text is expected. Each keeps
  // only the bytes before its first NUL; a null pointer is the absent (empty) Text.
  Text(const char* cString);       // NOLINT(google-explicit-constructor)
  Text(std::string_view bytes);    // NOLINT(google-explicit-constructor)
  Text(const std::string& bytes);  // NOLINT(google-explicit-constructor)
  Text(std::string&& bytes);       // NOLINT(google-explicit-constructor)

  [[nodiscard]] std::string_view view() const noexcept { return bytes_; }
  [[nodiscard]] const std::string& str() const noexcept { return bytes_; }
  [[nodiscard]] const char* c_str() const noexcept { return bytes_.c_str(); }
  [[nodiscard]] bool empty() const noexcept { return bytes_.empty(); }
  [[nodiscard]] int32_t size() const noexcept { return static_cast<int32_t>(bytes_.size()); }

  friend bool operator==(const Text&, const Text&) = default;

 private:
  std::string bytes_;  // never holds a NUL
};

class Bytes {
 public:
  Bytes() = default;
  explicit Bytes(std::string_view bytes) : bytes_(bytes) {}
  explicit Bytes(std::string&& bytes) noexcept : bytes_(std::move(bytes)) {}

  [[nodiscard]] std::string_view view() const noexcept { return bytes_; }
  [[nodiscard]] const std::string& str() const noexcept { return bytes_; }
  // The writable area of exactly size() bytes that a platform call may fill.
  [[nodiscard]] char* data() noexcept { return bytes_.data(); }
  [[nodiscard]] const char* data() const noexcept { return bytes_.data(); }
  [[nodiscard]] bool empty() const noexcept { return bytes_.empty(); }
  [[nodiscard]] int32_t size() const noexcept { return static_cast<int32_t>(bytes_.size()); }

  // Joins in place with amortised growth, so a body read chunk by chunk stays linear in its size.
  void Append(std::string_view more) { bytes_.append(more); }

  friend bool operator==(const Bytes&, const Bytes&) = default;

 private:
  std::string bytes_;
};

class TextArray {
 public:
  TextArray() = default;
  TextArray(std::initializer_list<Text> members) : members_(members) {}

  // Member `position`, 1 to size(). Outside that range: ReportFatalError, code 4 below 1 and
  // code 1 above the count.
  [[nodiscard]] const Text& Member(int32_t position) const;
  [[nodiscard]] int32_t size() const noexcept { return static_cast<int32_t>(members_.size()); }
  void Append(Text member) { members_.push_back(std::move(member)); }

  [[nodiscard]] auto begin() const noexcept { return members_.begin(); }
  [[nodiscard]] auto end() const noexcept { return members_.end(); }

  friend bool operator==(const TextArray&, const TextArray&) = default;

 private:
  std::vector<Text> members_;
};

// Byte `position` of `bytes`, 1 to size(), as an unsigned value. Outside that range:
// ReportFatalError, code 4 below 1 and code 1 above the count.
[[nodiscard]] uint8_t ByteAt(const Bytes& bytes, int32_t position);

// Printing for test failure messages: bytes outside printable ASCII appear as \xHH.
std::ostream& operator<<(std::ostream& out, const Text& text);
std::ostream& operator<<(std::ostream& out, const Bytes& bytes);

}  // namespace joincode
