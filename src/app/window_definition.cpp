#include "app/window_definition.h"

#include "app/gui_operations.h"
#include "app/join_code.h"

namespace joincode {
namespace {

constexpr EventBinding kGenerateClick[] = {{WindowEvent::kClick, &GenerateJoinCode}};
constexpr EventBinding kCopyClick[] = {{WindowEvent::kClick, &CopyJoinCode}};

// Names and texts in GBK; a digit after a GBK character is escaped too (\x31 is "1").
constexpr std::string_view kCaption =
    "\xBC\xD3\xC8\xBA\xB4\xFA\xC2\xEB\xBB\xF1\xC8\xA1 By:Zorvik";  // 加群代码获取 By:Zorvik
constexpr std::string_view kButton3 = "\xB0\xB4\xC5\xA5\x33";      // 按钮3
constexpr std::string_view kEditBox3 = "\xB1\xE0\xBC\xAD\xBF\xF2\x33";        // 编辑框3
constexpr std::string_view kLabel3 = "\xCD\xB8\xC3\xF7\xB1\xEA\xC7\xA9\x33";  // 透明标签3
constexpr std::string_view kLabel2 = "\xCD\xB8\xC3\xF7\xB1\xEA\xC7\xA9\x32";  // 透明标签2
constexpr std::string_view kEditBox2 = "\xB1\xE0\xBC\xAD\xBF\xF2\x32";        // 编辑框2
constexpr std::string_view kLabel1 = "\xCD\xB8\xC3\xF7\xB1\xEA\xC7\xA9\x31";  // 透明标签1
constexpr std::string_view kEditBox1 = "\xB1\xE0\xBC\xAD\xBF\xF2\x31";        // 编辑框1
constexpr std::string_view kButton1 = "\xB0\xB4\xC5\xA5\x31";                 // 按钮1
constexpr std::string_view kCopyText = "\xB8\xB4\xD6\xC6\xB4\xFA\xC2\xEB";    // 复制代码
constexpr std::string_view kLabel3Text = "\xBC\xD3\xC8\xBA\xB4\xFA\xC2\xEB\xA3\xBA";  // 加群代码：
constexpr std::string_view kLabel2Text = "param\xA3\xBA";                             // param：
constexpr std::string_view kLabel1Text = "QQ\xC8\xBA\xA3\xBA";                        // QQ群：
constexpr std::string_view kGenerateText = "\xC9\xFA\xB3\xC9";                        // 生成

constexpr bool kYes = true;
constexpr bool kNo = false;

}  // namespace

// clang-format off
const WindowRecord kMainWindowRecord =
    // id           kind                name  left top width height visible enabled tabStop tabIndex events text
    {kMainWindowId, RecordKind::kWindow, "",   50,  50, 285,  190,   kYes,   kYes,   kNo,    0,       {},    kCaption};

// Stacking order, the first on top.
const std::array<WindowRecord, 8> kMainWindowControls = {{
    // id        kind                     name       left top width height visible enabled tabStop tabIndex events          text
    {369164891,  RecordKind::kButton,     kButton3,  200, 124, 64,  32,    kYes,   kYes,   kYes,   0,       kCopyClick,     kCopyText},
    {kEditBox3Id, RecordKind::kEditBox,   kEditBox3, 63,  90,  207, 22,    kYes,   kYes,   kYes,   0,       {},             ""},
    {369164881,  RecordKind::kTransLabel, kLabel3,   7,   88,  58,  24,    kYes,   kYes,   kNo,    0,       {},             kLabel3Text},
    {369164876,  RecordKind::kTransLabel, kLabel2,   16,  51,  42,  24,    kYes,   kYes,   kNo,    0,       {},             kLabel2Text},
    {kEditBox2Id, RecordKind::kEditBox,   kEditBox2, 62,  55,  207, 22,    kYes,   kYes,   kYes,   0,       {},             ""},
    {369164874,  RecordKind::kTransLabel, kLabel1,   27,  16,  40,  24,    kYes,   kYes,   kNo,    0,       {},             kLabel1Text},
    {kEditBox1Id, RecordKind::kEditBox,   kEditBox1, 63,  18,  136, 22,    kYes,   kYes,   kYes,   0,       {},             "6986280"},
    {369164291,  RecordKind::kButton,     kButton1,  206, 14,  64,  32,    kYes,   kYes,   kYes,   0,       kGenerateClick, kGenerateText},
}};
// clang-format on

void (*HandlerFor(const WindowRecord& record, WindowEvent event))() {
  for (const EventBinding& binding : record.events) {
    if (binding.event == event) {
      return binding.handler;
    }
  }
  return nullptr;
}

}  // namespace joincode
