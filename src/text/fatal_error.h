// The fatal error report: where a failed run-time check ends the program.
//
//   ReportFatalError(1, "member 3 of 2");  // does not return
//
// Codes: 1 an index above the count, 4 an index below 1, 0 everything else that marks a defect or
// exhausted resources (memory, a missing conversion, a window that cannot be built).
// By default the report goes to stderr as "fatal error <code>: <message>" and the process exits
// with -1 (255 to a shell). While the window runs it installs a reporter that shows an error box.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace joincode {

// Shows or writes the report; returning from it still ends the process with -1.
using FatalErrorReporter = void (*)(int32_t errorCode, const Text& message);

[[noreturn]] void ReportFatalError(int32_t errorCode, const Text& message);

// Replaces the reporter; nullptr restores the stderr one. Returns the reporter it replaced.
FatalErrorReporter SetFatalErrorReporter(FatalErrorReporter reporter);

// The stderr reporter, for reporters that fall back to it (no display, say).
void WriteFatalErrorToStderr(int32_t errorCode, const Text& message);

// Makes a failed allocation a fatal error with code 0 instead of an exception.
void ReportFatalErrorOnOutOfMemory();

}  // namespace joincode
