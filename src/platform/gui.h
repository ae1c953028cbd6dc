// The windowing layer: top-level windows, child controls, message boxes, the clipboard and the
// message loop, addressed by small integer handles the way the system's window handles are.
//
//   if (!InitGui()) return;                              // no display
//   WindowHandle w = CreateTopWindow(7, {u"Title", 285, 190});
//   WindowHandle b = CreateControl(w, 8, ControlKind::kButton, {10, 10, 64, 32}, u"OK", true);
//   SetClickHandler(b, &OnOk);
//   ShowControl(b); ShowTopWindow(w); RunMessageLoop(); ShutdownGui();
//
// Texts are UTF-16. Each window and control carries its id as its toolkit object name. A handle is
// 0 when nothing was made or found; a handle whose window has been destroyed is simply no longer
// found, and every operation on it does nothing (reads give empty). Everything runs on the thread
// that called InitGui.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace joincode::platform {

using WindowHandle = uint32_t;

enum class ControlKind {
  kEditBox,     // single-line edit, sunken frame, black on white
  kButton,      // push button; never a default button, so Enter never presses it
  kTransLabel,  // text painted in black on no background of its own; never focused
};

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
};

struct Size {
  int32_t width = 0;
  int32_t height = 0;
};

struct TopWindowSettings {
  std::u16string caption;
  int32_t outerWidth = 0;  // frame and caption bar included
  int32_t outerHeight = 0;
  std::u16string icon;  // name of an icon among the program's resources; empty for none
};

// Message-box style bits, as the system's message box takes them: one button set and one icon.
inline constexpr uint32_t kMessageBoxOk = 0x0;
inline constexpr uint32_t kMessageBoxOkCancel = 0x1;
inline constexpr uint32_t kMessageBoxYesNo = 0x4;
inline constexpr uint32_t kMessageBoxIconError = 0x10;
inline constexpr uint32_t kMessageBoxIconQuestion = 0x20;
inline constexpr uint32_t kMessageBoxIconWarning = 0x30;
inline constexpr uint32_t kMessageBoxIconInformation = 0x40;
inline constexpr uint32_t kMessageBoxTaskModal = 0x2000;

// What a message box returns: the button that closed it.
inline constexpr int32_t kButtonOk = 1;
inline constexpr int32_t kButtonCancel = 2;
inline constexpr int32_t kButtonYes = 6;
inline constexpr int32_t kButtonNo = 7;

// Brings the toolkit up, reusing one that already runs. False when no display can be opened; a
// display that is announced but refuses the connection ends the process as a fatal error, code 0.
bool InitGui();
// True between a successful InitGui and ShutdownGui (or while a toolkit made by others runs).
bool GuiRunning();
// Destroys every window and takes down what InitGui brought up.
void ShutdownGui();

// The width and height of the primary screen in pixels.
Size ScreenSize();

// A hidden, unowned top-level window: fixed frame, caption bar with system menu, minimise and
// close buttons, no maximise button, button-face background, the program icon and the default
// GUI font. `id` is the number FindTopWindow knows it by. Returns 0 when it cannot be made.
WindowHandle CreateTopWindow(int32_t id, const TopWindowSettings& settings);
WindowHandle FindTopWindow(int32_t id);

// A hidden child control of `parent` at `place` (client coordinates). Controls that are tab stops
// take the focus by keyboard and mouse; the others only by mouse, and labels never.
WindowHandle CreateControl(WindowHandle parent, int32_t id, ControlKind kind, const Rect& place,
                           const std::u16string& text, bool tabStop);
WindowHandle FindControl(WindowHandle parent, int32_t id);
// The control's kind, or nothing for a top-level window or an unknown handle.
std::optional<ControlKind> KindOf(WindowHandle control);

void SetControlEnabled(WindowHandle control, bool enabled);
// Runs `handler` once per click, on the GUI thread. A null handler unbinds.
void SetClickHandler(WindowHandle control, void (*handler)());
// Puts the controls in this order from the top; controls not named keep their place below.
void SetStackingOrder(WindowHandle parent, std::span<const WindowHandle> topFirst);
// The order Tab walks (Shift+Tab backwards), wrapping at both ends.
void SetFocusOrder(WindowHandle parent, std::span<const WindowHandle> order);
// Shows a control without activating anything.
void ShowControl(WindowHandle control);

// Outer place of a top-level window, frame included.
Rect OuterRect(WindowHandle window);
void MoveTopWindow(WindowHandle window, int32_t left, int32_t top);
// Shows and activates the window. If the frame makes its outer size differ from the size it was
// created with, the window is resized (now and whenever the frame changes) to keep that size.
void ShowTopWindow(WindowHandle window);
// Gives `control` the keyboard focus, now or as soon as its window becomes active.
void SetFocusTo(WindowHandle control);
// The control that has (or, while the window is inactive, will get back) the focus; 0 if none.
WindowHandle FocusedControl(WindowHandle window);
// Asks the window to close, as its close button does; a closed window is destroyed.
void CloseTopWindow(WindowHandle window);

// The caption of a window or the text of a control.
std::u16string GetWindowText(WindowHandle window);
void SetWindowText(WindowHandle window, const std::u16string& text);

// Runs until the last top-level window has been closed, then returns the exit code (0).
int RunMessageLoop();

// A modal box without owner that returns the button that closed it. Task-modal: while it is up
// no window of the program takes input.
int32_t ShowMessageBox(const std::u16string& text, const std::u16string& title, uint32_t style);

// Test seam: while set, message boxes are handed to the observer instead of being shown, and the
// observer's result is returned. Pass an empty function to show real boxes again.
struct MessageBoxCall {
  std::u16string text;
  std::u16string title;
  uint32_t style = 0;
};
using MessageBoxObserver = std::function<int32_t(const MessageBoxCall&)>;
void SetMessageBoxObserver(MessageBoxObserver observer);

// Replaces the clipboard's contents with `text` (the empty text too). False when it was not placed.
bool SetClipboardUnicodeText(const std::u16string& text);
// The clipboard's text, or nothing when it holds none.
std::optional<std::u16string> ClipboardUnicodeText();

// The busy pointer over every window of the program; calls nest.
void BeginBusyCursor();
void EndBusyCursor();

}  // namespace joincode::platform
