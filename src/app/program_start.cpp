#include "app/program_start.h"

#include <vector>

#include "app/fatal_report.h"
#include "app/focus_order.h"
#include "app/gui_operations.h"
#include "app/window_definition.h"
#include "text/fatal_error.h"

namespace joincode {
namespace {

platform::ControlKind ControlKindOf(RecordKind kind) {
  switch (kind) {
    case RecordKind::kEditBox:
      return platform::ControlKind::kEditBox;
    case RecordKind::kButton:
      return platform::ControlKind::kButton;
    case RecordKind::kTransLabel:
    case RecordKind::kWindow:
      break;
  }
  return platform::ControlKind::kTransLabel;
}

}  // namespace

Position CentredPosition(platform::Size screen, platform::Size window) {
  return {(screen.width - window.width) / 2, (screen.height - window.height) / 2};
}

platform::WindowHandle BuildMainWindow() {
  const WindowRecord& record = kMainWindowRecord;
  const platform::WindowHandle window = platform::CreateTopWindow(
      record.identifier,
      {ToWindowText(Text(record.text)), record.width, record.height, u"DEFAULT_ICON.png"});
  if (window == 0) {
    return 0;
  }
  // The stored left and top are not used: the window starts centred.
  const Position place = CentredPosition(platform::ScreenSize(), {record.width, record.height});
  platform::MoveTopWindow(window, place.left, place.top);

  std::vector<platform::WindowHandle> stacking;
  for (const WindowRecord& control : kMainWindowControls) {
    const platform::WindowHandle handle =
        platform::CreateControl(window, control.identifier, ControlKindOf(control.kind),
                                {control.left, control.top, control.width, control.height},
                                ToWindowText(Text(control.text)), control.tabStop);
    if (handle == 0) {
      platform::CloseTopWindow(window);
      return 0;
    }
    platform::SetControlEnabled(handle, control.enabled);
    platform::SetClickHandler(handle, HandlerFor(control, WindowEvent::kClick));
    stacking.push_back(handle);
  }
  platform::SetStackingOrder(window, stacking);

  std::vector<platform::WindowHandle> focusOrder;
  for (const int32_t identifier : FocusOrder(kMainWindowControls)) {
    focusOrder.push_back(platform::FindControl(window, identifier));
  }
  platform::SetFocusOrder(window, focusOrder);

  for (size_t i = 0; i < kMainWindowControls.size(); ++i) {
    if (kMainWindowControls[i].visible) {
      platform::ShowControl(stacking[i]);
    }
  }
  platform::ShowTopWindow(window);
  if (!focusOrder.empty()) {
    platform::SetFocusTo(focusOrder.front());
  }
  return window;
}

int ProgramStart() {
  ReportFatalErrorOnOutOfMemory();
  if (!platform::InitGui()) {
    ReportFatalError(0, "the main window cannot be built: no display");
  }
  const FatalErrorReporter previous = SetFatalErrorReporter(&ShowFatalErrorBox);
  if (BuildMainWindow() == 0) {
    ReportFatalError(0, "the main window cannot be built");
  }
  platform::RunMessageLoop();
  SetFatalErrorReporter(previous);
  platform::ShutdownGui();
  return 0;
}

}  // namespace joincode
