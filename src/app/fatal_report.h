// The fatal error report while the window runs: an error box, then the end of the process.
//
//   SetFatalErrorReporter(&ShowFatalErrorBox);  // while the GUI is up
//   ReportFatalError(1, "member 3 of 2");         // box "fatal error 1: member 3 of 2", exit -1
#pragma once

#include <cstdint>

#include "text/text.h"

namespace joincode {

// The words of a report: "fatal error <code>: <message>", or "fatal error: <message>" for code 0.
[[nodiscard]] Text FatalErrorText(int32_t errorCode, const Text& message);

// Shows a task-modal box with the error icon and one OK button, and returns once it is closed;
// ReportFatalError then ends the process with -1. Without a display it writes to stderr instead.
void ShowFatalErrorBox(int32_t errorCode, const Text& message);

}  // namespace joincode
