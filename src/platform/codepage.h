// Code-page conversion: our stand-in for the operating system's multi-byte <-> UTF-16 service.
//
//   int32_t units = MultiByteToWide(kCodePageGbk, "\xC8\xBA", nullptr, 0);  // 2: U+7FA4 and 0
//
// Both operations read their source up to and including its terminator (NUL byte or zero unit)
// and count it. With an output size of 0 they return the size needed; otherwise they write at most
// that many units or bytes and return how many they wrote, 0 when the output was too small.
// Code page 0 is the program's ANSI code page, which is GBK (936) on every machine: the program's
// texts are GBK bytes whatever the locale. Supported: 0, 936 (GBK), 65001 (UTF-8); any other code
// page converts nothing and returns 0.
//
// Input that is not valid in the source code page never fails: a byte (or a byte pair) that does
// not convert becomes U+FFFD when reading, and a unit that the target cannot hold becomes "?" when
// writing, as the platform's default character would. Lone surrogates count as not convertible.
//
// A conversion is opened on first use and kept until the program ends. A conversion that cannot be
// opened (a machine without glibc's GBK module, say) is a fatal error with code 0 that names it.
#pragma once

#include <cstdint>

namespace joincode::platform {

inline constexpr uint32_t kCodePageAnsi = 0;
inline constexpr uint32_t kCodePageGbk = 936;
inline constexpr uint32_t kCodePageUtf8 = 65001;

int32_t MultiByteToWide(uint32_t codePage, const char* source, char16_t* output,
                        int32_t outputUnits);

int32_t WideToMultiByte(uint32_t codePage, const char16_t* source, char* output,
                        int32_t outputBytes);

}  // namespace joincode::platform
