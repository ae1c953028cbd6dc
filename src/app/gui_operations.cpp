#include "app/gui_operations.h"

#include "platform/codepage.h"
#include "platform/gui.h"

namespace joincode {

std::u16string ToWindowText(const Text& text) {
  if (text.empty()) {
    return {};
  }
  const int32_t units = platform::MultiByteToWide(platform::kCodePageGbk, text.c_str(), nullptr, 0);
  std::u16string wide(static_cast<size_t>(units > 0 ? units : 1), u'\0');
  const int32_t written =
      platform::MultiByteToWide(platform::kCodePageGbk, text.c_str(), wide.data(), units);
  // Both counts include the ending zero unit.
  wide.resize(written > 0 ? static_cast<size_t>(written - 1) : 0);
  return wide;
}

Text FromWindowText(const std::u16string& text) {
  if (text.empty()) {
    return {};
  }
  const int32_t bytes = platform::WideToMultiByte(platform::kCodePageGbk, text.c_str(), nullptr, 0);
  std::string narrow(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
  const int32_t written =
      platform::WideToMultiByte(platform::kCodePageGbk, text.c_str(), narrow.data(), bytes);
  narrow.resize(written > 0 ? static_cast<size_t>(written - 1) : 0);
  return Text(std::move(narrow));
}

namespace {

platform::WindowHandle ControlOf(int32_t windowId, int32_t controlId) {
  const platform::WindowHandle window = platform::FindTopWindow(windowId);
  return window != 0 ? platform::FindControl(window, controlId) : 0;
}

}  // namespace

Text GetControlText(int32_t windowId, int32_t controlId) {
  const platform::WindowHandle control = ControlOf(windowId, controlId);
  return control != 0 ? FromWindowText(platform::GetWindowText(control)) : Text();
}

void SetControlText(int32_t windowId, int32_t controlId, const Text& text) {
  if (const platform::WindowHandle control = ControlOf(windowId, controlId)) {
    platform::SetWindowText(control, ToWindowText(text));
  }
}

void ShowMessage(const Text& text, int32_t buttons, const Text& title) {
  platform::ShowMessageBox(ToWindowText(text), ToWindowText(title),
                           static_cast<uint32_t>(buttons) | platform::kMessageBoxTaskModal);
}

bool SetClipboardText(const Text& text) {
  return platform::SetClipboardUnicodeText(ToWindowText(text));
}

Text GetClipboardText() {
  return FromWindowText(platform::ClipboardUnicodeText().value_or(std::u16string()));
}

BusyCursor::BusyCursor() {
  platform::BeginBusyCursor();
}

BusyCursor::~BusyCursor() {
  platform::EndBusyCursor();
}

}  // namespace joincode
