// What the click handlers ask of the window: reading and writing control texts, the message box,
// the clipboard and the busy pointer. Texts are GBK; controls are addressed by identifier.
//
//   Text number = GetControlText(kMainWindowId, kEditBox1Id);  // "6986280" at start
//   SetControlText(kMainWindowId, kEditBox3Id, "tencent://...");
//   { BusyCursor busy; /* a long request */ }
#pragma once

#include <cstdint>
#include <string>

#include "text/text.h"

namespace joincode {

inline constexpr int32_t kMainWindowId = 1375797249;
inline constexpr int32_t kEditBox1Id = 369164871, kEditBox2Id = 369164875, kEditBox3Id = 369164882;

// The text the control shows now, as GBK; the empty Text for an empty or unknown control.
Text GetControlText(int32_t windowId, int32_t controlId);

// The control shows `text` from now on; the empty Text empties it. Unknown controls: nothing.
void SetControlText(int32_t windowId, int32_t controlId, const Text& text);

// A task-modal box with `text` and caption `title`; returns once the user has closed it.
// `buttons` is a message-box style: 0 gives one OK button and no icon.
void ShowMessage(const Text& text, int32_t buttons,
                 const Text& title);  // no owner: the system never gives one

// Replaces the clipboard's contents with `text`, the empty Text too. False when it was not placed.
bool SetClipboardText(const Text& text);

// The clipboard's text as GBK; the empty Text when it holds no text.
Text GetClipboardText();

// GBK <-> the window's UTF-16. Bytes that are not GBK read as U+FFFD; characters that GBK cannot
// hold are written as "?".
std::u16string ToWindowText(const Text& text);
Text FromWindowText(const std::u16string& text);

// The busy pointer while a handler runs: shown from construction to destruction.
class BusyCursor {
 public:
  BusyCursor();
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace joincode
