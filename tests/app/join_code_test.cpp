// The two buttons end to end: the real main window on Qt's offscreen platform, the real libcurl
// layer, and the local group-contact service on a free loopback port.
#include "app/join_code.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QTest>
#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/gui_operations.h"
#include "app/program_start.h"
#include "app/service_host.h"
#include "group_service.h"
#include "platform/gui.h"
#include "text/convert.h"
#include "wire_tap.h"

namespace joincode {
namespace {

constexpr int32_t kGenerateButtonId = 369164291;  // 按钮1, "生成"
constexpr int32_t kCopyButtonId = 369164891;      // 按钮3, "复制代码"

const std::string kUserAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Qvix; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";
const Text kJoinCodePrefix = "tencent://groupwpa/?subcmd=all&param=";
// As the window shows them (UTF-16).
const std::u16string kFailureMessage = u"获取失败,或者没有此Q群,请重新获取!";
const std::u16string kFailureTitle = u"友情提示";

// The sample groups of the local service.
const Text kDefaultParam = "Xc3vQk8ZpL2sNw7TfR0yHb6MjD9uAe4G";
const std::string kDefaultKey = "5f0c9e41b7d2a86e3c15f0d9a4b7e2c8";

// A loopback port on which nobody listens: bound, so no one else takes it, but never listening.
class DeadPort {
 public:
  DeadPort() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~DeadPort() { close(fd_); }
  DeadPort(const DeadPort&) = delete;
  DeadPort& operator=(const DeadPort&) = delete;
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

class JoinCodeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    tools::AddGroupServiceRoutes(server_, &log_);
    port_ = server_.bind_to_any_port("127.0.0.1");
    serverThread_ = std::thread([] { server_.listen_after_bind(); });
    tap_ = std::make_unique<WireTap>(port_);
    hostBefore_ = ServiceHost();
    SetServiceHost(Text(TapHost()));
    ASSERT_TRUE(platform::InitGui());
    ASSERT_NE(BuildMainWindow(), 0u);
  }
  static void TearDownTestSuite() {
    platform::ShutdownGui();
    SetServiceHost(hostBefore_);
    tap_.reset();
    server_.stop();
    if (serverThread_.joinable())
      serverThread_.join();
  }

  void SetUp() override {
    ASSERT_GT(port_, 0);
    ASSERT_GT(tap_->port(), 0);
    SetControlText(kMainWindowId, kEditBox1Id, "6986280");
    SetControlText(kMainWindowId, kEditBox2Id, "");
    SetControlText(kMainWindowId, kEditBox3Id, "");
    log_.Clear();
    tap_->Clear();
    boxes_.clear();
    platform::SetMessageBoxObserver([this](const platform::MessageBoxCall& call) {
      const QCursor* cursor = QGuiApplication::overrideCursor();
      boxes_.push_back({call, cursor != nullptr && cursor->shape() == Qt::WaitCursor});
      return platform::kButtonOk;
    });
  }
  void TearDown() override { platform::SetMessageBoxObserver({}); }

  // Clicks the button with the mouse, as a user would; returns once its handler has run.
  static void Click(int32_t buttonId) {
    QAbstractButton* button = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (top->objectName() == QString::number(kMainWindowId)) {
        button = top->findChild<QAbstractButton*>(QString::number(buttonId));
      }
    }
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  }

  // Requests go through the tap, which sees them exactly as sent.
  static std::string TapHost() { return "127.0.0.1:" + std::to_string(tap_->port()); }

  struct ShownBox {
    platform::MessageBoxCall call;
    bool busyWhileShown;
  };

  static inline httplib::Server server_;
  static inline tools::RequestLog log_;
  static inline int port_ = 0;
  static inline std::thread serverThread_;
  static inline std::unique_ptr<WireTap> tap_;
  static inline Text hostBefore_;
  std::vector<ShownBox> boxes_;
};

// Every click sends both requests, whatever comes back; the boxes show what the service gave.
TEST_F(JoinCodeTest, GenerateAsksBothRequestsAndFillsTheBoxes) {
  struct Case {
    const char* name;
    Text number;  // typed into 编辑框1
    std::string keyTarget;
    std::string pageTarget;
    Text param;    // 编辑框2 afterwards
    bool failure;  // the message box is shown and 编辑框3 keeps its text
  };
  const std::string k = "&_=1370516986390";
  const Case cases[] = {
      {"default group", "6986280", "/wpa/g_wpa_get?guin=%5B6986280%5D" + k,
       "/wpa/qunwpa?idkey=" + kDefaultKey, kDefaultParam, false},
      {"empty number still asks both", "", "/wpa/g_wpa_get?guin=%5B%5D" + k,
       "/wpa/qunwpa?idkey=", "", true},
      {"unknown group", "12345", "/wpa/g_wpa_get?guin=%5B12345%5D" + k, "/wpa/qunwpa?idkey=", "",
       true},
      {"key answer without its markers", "27182818", "/wpa/g_wpa_get?guin=%5B27182818%5D" + k,
       "/wpa/qunwpa?idkey=", "", true},
      {"param of spaces counts as found", "20130601", "/wpa/g_wpa_get?guin=%5B20130601%5D" + k,
       "/wpa/qunwpa?idkey=b19e4d07c6a35f28e0d7a1c94b6f3e52", "   ", false},
      {"key with reserved characters goes out unescaped", "31415926",
       "/wpa/g_wpa_get?guin=%5B31415926%5D" + k, "/wpa/qunwpa?idkey=k&v=1+2",
       "PiGroup+Param/With=Slashes", false},
      {"number neither trimmed nor checked", " 6986280 ",
       "/wpa/g_wpa_get?guin=%5B%206986280%20%5D" + k, "/wpa/qunwpa?idkey=", "", true},
      {"GBK number is sent as its bytes", std::string("\xC8\xBA", 2),
       "/wpa/g_wpa_get?guin=%5B%C8%BA%5D" + k, "/wpa/qunwpa?idkey=", "", true},
  };
  const Text earlier = "tencent://groupwpa/?subcmd=all&param=earlier";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log_.Clear();
    boxes_.clear();
    SetControlText(kMainWindowId, kEditBox1Id, c.number);
    SetControlText(kMainWindowId, kEditBox2Id, "stale param");
    SetControlText(kMainWindowId, kEditBox3Id, earlier);

    Click(kGenerateButtonId);

    auto records = log_.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].RequestLine(), "GET " + c.keyTarget + " HTTP/1.1");
    EXPECT_EQ(records[1].RequestLine(), "GET " + c.pageTarget + " HTTP/1.1");
    EXPECT_EQ(GetControlText(kMainWindowId, kEditBox1Id), c.number);
    EXPECT_EQ(GetControlText(kMainWindowId, kEditBox2Id), c.param);
    if (c.failure) {
      ASSERT_EQ(boxes_.size(), 1u);
      EXPECT_TRUE(boxes_[0].call.text == kFailureMessage);
      EXPECT_TRUE(boxes_[0].call.title == kFailureTitle);
      // One OK button, no icon; task-modal as every box of the program.
      EXPECT_EQ(boxes_[0].call.style, platform::kMessageBoxOk | platform::kMessageBoxTaskModal);
      EXPECT_EQ(GetControlText(kMainWindowId, kEditBox3Id), earlier);
    } else {
      EXPECT_TRUE(boxes_.empty());
      EXPECT_EQ(GetControlText(kMainWindowId, kEditBox3Id), Concat(kJoinCodePrefix, c.param));
    }
  }
}

// The exact lines of both requests as they crossed the wire.
TEST_F(JoinCodeTest, RequestsCarryTheDefaultHeaderLinesAndNothingElse) {
  Click(kGenerateButtonId);

  const std::string targets[] = {
      "/wpa/g_wpa_get?guin=%5B6986280%5D&_=1370516986390",
      "/wpa/qunwpa?idkey=" + kDefaultKey,
  };
  auto requests = SplitRequests(tap_->Sent());
  ASSERT_EQ(requests.size(), 2u);  // anything after the second head would be a body
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(targets[i]);
    const std::vector<std::string>& lines = requests[i];
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "GET " + targets[i] + " HTTP/1.1");
    const std::string referer = "Referer: http://" + TapHost() + targets[i];
    std::vector<std::string> expected = {
        "Accept: */*",
        "Accept-Language: zh-cn",
        "Content-Type: application/x-www-form-urlencoded",
        "Host: " + TapHost(),
        referer,
        "User-Agent: " + kUserAgent,
    };
    std::vector<std::string> received(lines.begin() + 1, lines.end());
    std::sort(expected.begin(), expected.end());
    std::sort(received.begin(), received.end());
    EXPECT_EQ(received, expected);  // no Cookie line, no body length, no line twice

    // The program's own lines keep the order in which it adds them.
    std::vector<std::string> own;
    for (const std::string& line : lines) {
      if (line.starts_with("Referer:") || line.starts_with("Accept") ||
          line.starts_with("Content-Type:")) {
        own.push_back(line);
      }
    }
    EXPECT_EQ(own, (std::vector<std::string>{referer, "Accept: */*", "Accept-Language: zh-cn",
                                             "Content-Type: application/x-www-form-urlencoded"}));
  }
  EXPECT_EQ(GetControlText(kMainWindowId, kEditBox2Id), kDefaultParam);
  EXPECT_EQ(GetControlText(kMainWindowId, kEditBox3Id), Concat(kJoinCodePrefix, kDefaultParam));
}

// A failed click after a successful one: 编辑框2 empties, 编辑框3 keeps the earlier code, and
// copying then copies that code.
TEST_F(JoinCodeTest, FailureAfterSuccessKeepsTheEarlierJoinCode) {
  Click(kGenerateButtonId);
  const Text joinCode = Concat(kJoinCodePrefix, kDefaultParam);
  ASSERT_EQ(GetControlText(kMainWindowId, kEditBox3Id), joinCode);

  SetControlText(kMainWindowId, kEditBox1Id, "999");
  Click(kGenerateButtonId);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(boxes_[0].call.text == kFailureMessage);
  EXPECT_TRUE(boxes_[0].call.title == kFailureTitle);
  EXPECT_EQ(GetControlText(kMainWindowId, kEditBox2Id), "");
  EXPECT_EQ(GetControlText(kMainWindowId, kEditBox3Id), joinCode);

  Click(kCopyButtonId);
  EXPECT_EQ(GetClipboardText(), joinCode);
}

TEST_F(JoinCodeTest, BusyCursorWhileRequestsRunAndRestoredAfterwards) {
  SetControlText(kMainWindowId, kEditBox1Id, "12345");
  ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
  Click(kGenerateButtonId);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(boxes_[0].busyWhileShown);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  SetControlText(kMainWindowId, kEditBox1Id, "6986280");
  Click(kGenerateButtonId);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(JoinCodeTest, CopyPutsTheTextOfEditBox3OnTheClipboard) {
  struct Case {
    const char* name;
    Text joinCode;
  };
  const Case cases[] = {
      {"join code", Concat(kJoinCodePrefix, kDefaultParam)},
      {"GBK text", std::string("\xC8\xBA\xBA\xC5", 4)},
      {"empty", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(SetClipboardText("something else"));
    SetControlText(kMainWindowId, kEditBox3Id, c.joinCode);
    Click(kCopyButtonId);
    EXPECT_EQ(GetClipboardText(), c.joinCode);
    EXPECT_TRUE(boxes_.empty());
  }
  EXPECT_TRUE(log_.Records().empty());  // copying asks nobody
}

TEST_F(JoinCodeTest, ServiceNotRunningShowsTheMessage) {
  DeadPort dead;
  SetServiceHost(Text("127.0.0.1:" + std::to_string(dead.port())));
  const Text earlier = Concat(kJoinCodePrefix, "earlier");
  SetControlText(kMainWindowId, kEditBox3Id, earlier);

  Click(kGenerateButtonId);

  SetServiceHost(Text("127.0.0.1:" + std::to_string(port_)));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(boxes_[0].call.text == kFailureMessage);
  EXPECT_TRUE(boxes_[0].call.title == kFailureTitle);
  EXPECT_EQ(GetControlText(kMainWindowId, kEditBox2Id), "");
  EXPECT_EQ(GetControlText(kMainWindowId, kEditBox3Id), earlier);
  EXPECT_TRUE(log_.Records().empty());
}

}  // namespace
}  // namespace joincode
