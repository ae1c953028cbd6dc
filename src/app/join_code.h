// The two button handlers of the main window: turning a group number into a join code, and
// copying that code to the clipboard.
//
//   // 编辑框1 holds "6986280"; a click of 按钮1 runs:
//   GenerateJoinCode();  // 编辑框3 = "tencent://groupwpa/?subcmd=all&param=" + 编辑框2
//   CopyJoinCode();      // the clipboard holds the text of 编辑框3
#pragma once

namespace joincode {

// Asks the group-contact service for the group key of the number in 编辑框1, then for the group's
// contact page, and shows the param value in 编辑框2 and the join code in 编辑框3. When no param
// comes back, shows the failure message and leaves 编辑框3 as it was.
void GenerateJoinCode();

// Puts the text of 编辑框3 on the clipboard, the empty text too; shows nothing.
void CopyJoinCode();

}  // namespace joincode
