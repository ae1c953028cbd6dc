// The main window as a table: one window record, then one record per control in stacking order,
// the first lying on top where controls overlap. Names and texts are GBK bytes.
//
//   for (const WindowRecord& control : kMainWindowControls) { ... control.identifier ... }
//   kMainWindowRecord.width == 285  // outer size, frame included
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace joincode {

enum class RecordKind { kWindow, kEditBox, kButton, kTransLabel };

enum class WindowEvent { kCreated, kClick };

struct EventBinding {
  WindowEvent event;
  void (*handler)();
};

struct WindowRecord {
  int32_t identifier;
  RecordKind kind;
  std::string_view name;  // empty for the window
  int32_t left;           // a control's place is relative to the window's client area
  int32_t top;
  int32_t width;  // the window's width and height are its outer size
  int32_t height;
  bool visible;
  bool enabled;
  bool tabStop;
  int32_t tabIndex;
  std::span<const EventBinding> events;
  std::string_view text;  // the window's caption or the control's text
};

extern const WindowRecord kMainWindowRecord;
extern const std::array<WindowRecord, 8> kMainWindowControls;

// The handler bound to `event` of `record`, or null.
void (*HandlerFor(const WindowRecord& record, WindowEvent event))();

}  // namespace joincode
