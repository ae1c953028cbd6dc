// Character stepping shared by the primitives that scan a Text by characters (text.h): a byte
// 0x80-0xFF takes the next byte along, and the first byte a scan examines starts a character.
//
//   CharStarts starts(bytes, 0);
//   size_t at = FindAtCharStart(bytes, pattern, 0, starts);  // std::string_view::npos if none
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace joincode::char_step {

[[nodiscard]] inline bool IsHigh(char byte) noexcept {
  return static_cast<unsigned char>(byte) >= 0x80;
}

// Bytes in the character at `at`: 2 for a high byte with a byte after it, else 1.
[[nodiscard]] inline size_t CharLength(std::string_view bytes, size_t at) noexcept {
  return IsHigh(bytes[at]) && at + 1 < bytes.size() ? 2 : 1;
}

// Tells character starts of a scan begun at `origin` without stepping through every character.
// An offset is a start exactly when the run of high bytes right before it, counted back to the
// last low byte or to the origin, has even length: a low byte always ends a character, and the
// high bytes after it pair up. Queries must not go backwards, so each byte is looked at once.
class CharStarts {
 public:
  CharStarts(std::string_view bytes, size_t origin) noexcept
      : bytes_(bytes), runStart_(origin), checkedUpTo_(origin) {}

  // The scan starts over at `origin`, which is taken as a character start.
  void Restart(size_t origin) noexcept { runStart_ = checkedUpTo_ = origin; }

  // Whether `at` (not before the origin or an earlier query) is a character start.
  [[nodiscard]] bool IsStart(size_t at) noexcept {
    // Only the last low byte in the new stretch matters, so look backwards and stop there.
    for (size_t i = at; i > checkedUpTo_; --i) {
      if (!IsHigh(bytes_[i - 1])) {
        runStart_ = i;
        break;
      }
    }
    checkedUpTo_ = at;
    return (at - runStart_) % 2 == 0;
  }

 private:
  std::string_view bytes_;
  size_t runStart_;     // first offset after the last low byte seen, or the origin
  size_t checkedUpTo_;  // bytes before this offset have been accounted for
};

// Offset of the first occurrence of a non-empty `pattern` at or after `from` that lies on a
// character start of `starts`' scan, or npos. `from` must not be before the last query.
[[nodiscard]] inline size_t FindAtCharStart(std::string_view bytes, std::string_view pattern,
                                            size_t from, CharStarts& starts) noexcept {
  while (true) {
    const size_t at = bytes.find(pattern, from);
    if (at == std::string_view::npos || starts.IsStart(at)) {
      return at;
    }
    from = at + 1;
  }
}

// Maps A-Z to a-z and leaves every other byte unchanged.
[[nodiscard]] inline char FoldCase(char byte) noexcept {
  return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
}

}  // namespace joincode::char_step
