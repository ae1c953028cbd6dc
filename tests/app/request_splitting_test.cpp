// A Generate click on the real window (offscreen) and the real libcurl layer, against a service
// that answers with group keys built to add header lines, and with group numbers nobody should
// type. Nothing extra may reach the wire: a key holding a line break is refused, and the number
// goes out exactly as the URL encoding of what the edit box holds.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <optional>
#include <string>
#include <vector>

#include "app/gui_operations.h"
#include "app/join_code.h"
#include "app/program_start.h"
#include "app/service_host.h"
#include "platform/gui.h"
#include "platform/inet.h"
#include "text/convert.h"
#include "text/url_encode.h"
#include "web/hostile_server.h"

namespace joincode {
namespace {

using namespace std::chrono_literals;
using testing::HostileServer;
using testing::Script;
using testing::Send;

constexpr int32_t kGenerateButtonId = 369164291;  // 按钮1
const std::string kFixedPart = "&_=1370516986390";
const std::string kParam = "P4r4m";

std::string Answer(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string Target(const std::string& request) {
  const size_t start = request.find(' ');
  const size_t end = request.find(' ', start + 1);
  return start == std::string::npos || end == std::string::npos
             ? ""
             : request.substr(start + 1, end - start - 1);
}

// The group-contact service: its key answer carries `key`, its page answer a param.
testing::Director Service(const std::string& key) {
  return [key](int, const std::string& request) {
    if (Target(request).starts_with("/wpa/g_wpa_get"))
      return Script{Send(Answer("{\"key\":[{\"key\":\"" + key + "\"}]}}"))};
    return Script{Send(Answer("var u=\"...u0026param=" + kParam + "\";"))};
  };
}

class WindowOverHostileServiceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    hostBefore_ = ServiceHost();
    platform::InternetLimits limits;
    limits.connectTimeout = 1000ms;
    limits.idleTimeout = 1s;
    limitsBefore_ = platform::SetInternetLimits(limits);
    ASSERT_TRUE(platform::InitGui());
    ASSERT_NE(BuildMainWindow(), 0u);
  }
  static void TearDownTestSuite() {
    platform::ShutdownGui();
    platform::SetInternetLimits(limitsBefore_);
    SetServiceHost(hostBefore_);
  }
  void SetUp() override {
    platform::SetMessageBoxObserver([this](const platform::MessageBoxCall&) {
      ++boxes_;
      return platform::kButtonOk;
    });
  }
  void TearDown() override { platform::SetMessageBoxObserver({}); }

  // Types nothing: puts `number` into 编辑框1 the way the program would, then clicks "生成".
  void Generate(const HostileServer& service, const Text& number) {
    SetServiceHost(Text("127.0.0.1:" + std::to_string(service.port())));
    SetControlText(kMainWindowId, kEditBox1Id, number);
    SetControlText(kMainWindowId, kEditBox2Id, "stale");
    boxes_ = 0;
    QAbstractButton* button = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (top->objectName() == QString::number(kMainWindowId))
        button = top->findChild<QAbstractButton*>(QString::number(kGenerateButtonId));
    }
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  }

  int boxes_ = 0;
  static inline Text hostBefore_;
  static inline platform::InternetLimits limitsBefore_;
};

// --- No request splitting ------------------------------------------------------------------------

TEST_F(WindowOverHostileServiceTest, GroupKeysCannotAddHeaderLines) {
  struct Case {
    const char* name;
    std::string key;
    std::string pageTarget;  // empty: the page request must not go out at all
  };
  const std::vector<Case> cases = {
      {"CR LF and a header line", "abc\r\nX-Injected: 1", ""},
      {"a bare LF and a header line", "abc\nX-Injected: 1", ""},
      {"a bare CR and a header line", "abc\rX-Injected: 1", ""},
      {"a whole second request", "abc HTTP/1.1\r\nHost: evil\r\n\r\nGET /X-Injected HTTP/1.1", ""},
      {"a tab", "abc\tX-Injected: 1", ""},
      {"an escaped CR LF stays escaped", "abc%0D%0AX-Injected:%201",
       "/wpa/qunwpa?idkey=abc%0D%0AX-Injected:%201"},
      {"spaces stay inside the request line", "abc X-Injected: 1",
       "/wpa/qunwpa?idkey=abc%20X-Injected:%201"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostileServer service(Service(c.key));
    ASSERT_TRUE(service.ok());
    Generate(service, "6986280");
    const std::vector<std::string> requests = service.Requests();
    ASSERT_EQ(requests.size(), c.pageTarget.empty() ? 1u : 2u);
    EXPECT_EQ(Target(requests[0]), "/wpa/g_wpa_get?guin=%5B6986280%5D" + kFixedPart);
    for (const std::string& request : requests) {
      EXPECT_EQ(request.find("\nX-Injected"), std::string::npos) << request;
      EXPECT_EQ(request.find("\nHost: evil"), std::string::npos) << request;
      // One head per connection, ended once, at the very end.
      EXPECT_EQ(request.find("\r\n\r\n"), request.size() - 4) << request;
    }
    if (c.pageTarget.empty()) {
      EXPECT_EQ(GetControlText(kMainWindowId, kEditBox2Id), Text());
      EXPECT_EQ(boxes_, 1);
    } else {
      EXPECT_EQ(Target(requests[1]), c.pageTarget);
      EXPECT_EQ(GetControlText(kMainWindowId, kEditBox2Id), Text(kParam));
      EXPECT_EQ(boxes_, 0);
    }
  }
}

// --- Bad input at the window ---------------------------------------------------------------------

TEST_F(WindowOverHostileServiceTest, GroupNumbersGoOutAsTheEncodingOfWhatTheBoxHolds) {
  std::string controls;
  for (int byte = 1; byte < 0x20; ++byte)
    controls += static_cast<char>(byte);
  controls += '\x7F';
  struct Case {
    const char* name;
    std::string typed;
    std::optional<std::string> held;  // what 编辑框1 gives back; none: a leading part of it
  };
  const std::vector<Case> cases = {
      {"empty", "", ""},
      {"GBK characters", std::string("\xC8\xBA\xBA\xC5", 4), std::string("\xC8\xBA\xBA\xC5", 4)},
      {"64 KiB of digits", std::string(65536, '7'), std::nullopt},
      {"every control byte", "1" + controls + "2", "1" + controls + "2"},
      {"a lone lead byte at the end", std::string("123\xC8", 4), "123?"},
      {"a lead byte before a byte that cannot follow it", std::string("12\xC8\x31", 4), "12?1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostileServer service(Service("k"));
    ASSERT_TRUE(service.ok());
    Generate(service, c.typed);
    const Text held = GetControlText(kMainWindowId, kEditBox1Id);
    if (c.held) {
      EXPECT_EQ(held, Text(*c.held));
    } else {
      EXPECT_FALSE(held.empty());
      EXPECT_TRUE(c.typed.starts_with(held.view()));
    }
    const std::vector<std::string> requests = service.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(Target(requests[0]),
              "/wpa/g_wpa_get?guin=" + UrlEncode(Concat("[", held, "]"), true).str() + kFixedPart);
    EXPECT_EQ(Target(requests[1]), "/wpa/qunwpa?idkey=k");
    EXPECT_EQ(GetControlText(kMainWindowId, kEditBox2Id), Text(kParam));
  }
}

// Regression: the edit box used to keep at most 32767 characters of a text put there, so a long
// number went out cut short without a word.
TEST_F(WindowOverHostileServiceTest, EditBoxKeepsALongNumberWhole) {
  const std::string typed(65536, '7');
  SetControlText(kMainWindowId, kEditBox1Id, typed);
  EXPECT_EQ(GetControlText(kMainWindowId, kEditBox1Id).size(), 65536);
}

}  // namespace
}  // namespace joincode
