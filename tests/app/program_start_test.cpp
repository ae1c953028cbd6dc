// The whole run of the program in a child process: start, loop, close, exit code.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <string_view>

#include "app/gui_operations.h"
#include "app/program_start.h"
#include "child_process.h"
#include "platform/gui.h"
#include "window_fixture.h"

using namespace joincode;
using namespace joincode::testing;

namespace {

// Child: once the window is up and has the keyboard, closes it the way `mode` names.
void CloseWhenActive(std::string_view mode) {
  QTimer::singleShot(10, [mode] {
    QWidget* window = MainWindowWidget();
    if (window == nullptr || QApplication::focusWidget() == nullptr) {
      CloseWhenActive(mode);
      return;
    }
    std::fprintf(stdout, "focus=%s\n", qPrintable(QApplication::focusWidget()->objectName()));
    std::fflush(stdout);
    if (mode == "esc-closes") {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    } else if (mode == "close-button") {
      platform::CloseTopWindow(platform::FindTopWindow(kMainWindowId));
    }
  });
}

int RunChildMode(int argc, char** argv, std::string_view mode) {
  QApplication app(argc, argv);  // the program reuses it, so the test can plant a timer first
  CloseWhenActive(mode);
  return ProgramStart();
}

}  // namespace

class ProgramStartTest : public QObject {
  Q_OBJECT

 private slots:
  void closingEndsWithExitCodeZero_data() {
    QTest::addColumn<QString>("mode");
    QTest::newRow("Esc") << "esc-closes";
    QTest::newRow("close button") << "close-button";
  }

  void closingEndsWithExitCodeZero() {
    QFETCH(QString, mode);
    const ChildResult child = RunChild(mode);
    QVERIFY2(child.finished, "the message loop did not end");
    QCOMPARE(child.exitStatus, QProcess::NormalExit);
    QCOMPARE(child.exitCode, 0);
    QCOMPARE(child.out, QString("focus=%1\n").arg(kButton1Id));
  }
};

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == kChildFlag) {
    return RunChildMode(argc, argv, argv[2]);
  }
  QApplication app(argc, argv);
  ProgramStartTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "program_start_test.moc"
