// The program's entry: brings up the window and runs it until it is closed.
//
//   int main() { return joincode::ProgramStart(); }
//
// Tests build the window without the loop: InitGui(), BuildMainWindow(), ..., ShutdownGui().
#pragma once

#include <cstdint>

#include "platform/gui.h"

namespace joincode {

// Brings up the GUI, builds the main window, runs the message loop until the window closes, and
// returns 0. A GUI or window that cannot be made is a fatal error with code 0; while the window
// runs, fatal errors are shown in an error box.
int ProgramStart();

// The outer position that centres a window of this size on a screen of that size; the halves
// truncate toward zero, so a window larger than the screen sticks out on both sides.
struct Position {
  int32_t left;
  int32_t top;
};
[[nodiscard]] Position CentredPosition(platform::Size screen, platform::Size window);

// Builds the main window from its definition, shows it centred and active with the focus on the
// first control of the focus order. Needs a running GUI; returns 0 when the window cannot be made.
platform::WindowHandle BuildMainWindow();

}  // namespace joincode
