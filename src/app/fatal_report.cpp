#include "app/fatal_report.h"

#include <string>

#include "app/gui_operations.h"
#include "app/window_definition.h"
#include "platform/gui.h"
#include "text/fatal_error.h"

namespace joincode {

Text FatalErrorText(int32_t errorCode, const Text& message) {
  std::string words = "fatal error";
  if (errorCode != 0) {
    words += ' ';
    words += std::to_string(errorCode);
  }
  words += ": ";
  words += message.str();
  return Text(std::move(words));
}

void ShowFatalErrorBox(int32_t errorCode, const Text& message) {
  if (!platform::GuiRunning()) {
    WriteFatalErrorToStderr(errorCode, message);
    return;
  }
  // The box carries the program's caption, so that it is clear whose error it is.
  platform::ShowMessageBox(
      ToWindowText(FatalErrorText(errorCode, message)), ToWindowText(Text(kMainWindowRecord.text)),
      platform::kMessageBoxOk | platform::kMessageBoxIconError | platform::kMessageBoxTaskModal);
}

}  // namespace joincode
