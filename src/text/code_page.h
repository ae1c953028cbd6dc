// Conversion between our GBK texts and UTF-16 or UTF-8, on the platform's code-page service.
//
//   Bytes wide = ToWideText("\xC8\xBA", 936);  // A4 7F 00 00: U+7FA4 and the ending zero unit
//   Text utf8 = GbkToUtf8("\xC8\xBA");         // "\xE7\xBE\xA4"
//
// Code pages are Windows numbers: 0 (the ANSI code page, GBK), 936 (GBK), 65001 (UTF-8). Bytes that
// are not valid in the source code page read as U+FFFD; characters that the target cannot hold are
// written as "?". No routine reports an error.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace joincode {

// The UTF-16 units of `text` read in `codePage`, low byte first, ending in a zero unit. Sized for
// the text read in GBK and grown when `codePage` needs more; units not written stay zero. The
// empty text gives two zero bytes; a code page the platform cannot read gives only zero bytes.
[[nodiscard]] Bytes ToWideText(const Text& text, uint32_t codePage = 65001);

// The units of `wide` (low byte first) up to its first zero unit, written in `codePage`. A value
// without a zero unit is read to its end, and an odd last byte is ignored. Empty when the
// conversion fails (a code page the platform cannot write).
[[nodiscard]] Text FromWideText(const Bytes& wide, uint32_t codePage = 0);

// The UTF-8 bytes of `text` read as GBK, whatever the ANSI code page is.
[[nodiscard]] Text GbkToUtf8(const Text& text);

}  // namespace joincode
