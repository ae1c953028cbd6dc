// The program's entry: brings up the window and runs it until it is closed.
#pragma once

namespace joincode {

// Builds the main window, runs the message loop until the window closes, and returns 0.
int ProgramStart();

}  // namespace joincode
