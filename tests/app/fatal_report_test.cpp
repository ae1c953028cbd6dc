// The fatal error report: an error box while the window runs, stderr without a display, and in
// every case the end of the process with exit code -1 (255 to the parent).
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <string_view>

#include "app/fatal_report.h"
#include "app/program_start.h"
#include "child_process.h"
#include "text/fatal_error.h"
#include "text/text.h"
#include "window_fixture.h"

using namespace joincode;
using namespace joincode::testing;

namespace {

// Child side: waits for the modal error box, prints what it shows and presses OK.
void DescribeAndCloseErrorBox() {
  QTimer::singleShot(10, [] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      DescribeAndCloseErrorBox();
      return;
    }
    std::fprintf(stdout, "title=%s\ntext=%s\nicon=%d\nbuttons=%d\nwindow=%d\n",
                 box->windowTitle().toUtf8().constData(), box->text().toUtf8().constData(),
                 static_cast<int>(box->icon()), static_cast<int>(box->buttons().size()),
                 MainWindowWidget() != nullptr ? 1 : 0);
    std::fflush(stdout);
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
  });
}

int RunChildMode(int argc, char** argv, std::string_view mode) {
  if (mode == "no-display" || mode == "display-refuses") {
    return ProgramStart();  // the environment leaves it no display
  }
  if (mode == "reporter-without-gui") {
    SetFatalErrorReporter(&ShowFatalErrorBox);
    ReportFatalError(1, "member 3 of 2");
  }
  QApplication app(argc, argv);
  // A failed check inside a click handler, as the message loop delivers it.
  QTimer::singleShot(0, [mode] {
    DescribeAndCloseErrorBox();
    if (mode == "index-above-count") {
      (void)TextArray{"a", "b"}.Member(3);
    } else if (mode == "index-below-one") {
      (void)TextArray{"a"}.Member(0);
    } else {
      ReportFatalError(0, "out of memory");
    }
    std::fprintf(stdout, "returned\n");  // must never be reached
  });
  ProgramStart();
  std::fprintf(stdout, "loop ended\n");  // nor this
  return 0;
}

QProcessEnvironment WithoutDisplay(const char* display) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "xcb");
  environment.remove("WAYLAND_DISPLAY");
  if (display == nullptr) {
    environment.remove("DISPLAY");
  } else {
    environment.insert("DISPLAY", display);
  }
  return environment;
}

}  // namespace

class FatalReportTest : public QObject {
  Q_OBJECT

 private slots:
  void words_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("code named") << 1 << QByteArray("member 3 of 2")
                                << QByteArray("fatal error 1: member 3 of 2");
    QTest::newRow("code 0 not named")
        << 0 << QByteArray("out of memory") << QByteArray("fatal error: out of memory");
    QTest::newRow("negative code") << -7 << QByteArray("x") << QByteArray("fatal error -7: x");
    QTest::newRow("GBK message kept")
        << 4 << QByteArray("\xC9\xFA\xB3\xC9") << QByteArray("fatal error 4: \xC9\xFA\xB3\xC9");
  }

  void words() {
    QFETCH(int, code);
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, expected);
    QCOMPARE(FatalErrorText(code, Text(message.toStdString())), Text(expected.toStdString()));
  }

  void boxThenExit_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("position");
    QTest::newRow("index above the count") << "index-above-count"
                                           << "fatal error 1: "
                                           << "3";
    QTest::newRow("index below 1") << "index-below-one"
                                   << "fatal error 4: "
                                   << "0";
    QTest::newRow("code 0") << "code-0"
                            << "fatal error: out of memory"
                            << "";
  }

  // While the window runs: an error box with one OK button; once closed, exit code -1.
  void boxThenExit() {
    QFETCH(QString, mode);
    QFETCH(QString, text);
    QFETCH(QString, position);
    const ChildResult child = RunChild(mode);
    QVERIFY(child.finished);
    QCOMPARE(child.exitStatus, QProcess::NormalExit);
    QCOMPARE(child.exitCode, 255);
    const QStringList lines = child.out.split('\n');
    QCOMPARE(lines.size(), 6);  // five lines and nothing after the box was closed
    QCOMPARE(lines[0], QString::fromUtf8("title=加群代码获取 By:Zorvik"));
    // The words after the code are the failed check's own; the index it names must be there.
    QVERIFY2(lines[1].startsWith("text=" + text), qPrintable(lines[1]));
    if (!position.isEmpty()) {
      QVERIFY2(lines[1].contains(QRegularExpression("\\b" + position + "\\b")),
               qPrintable(lines[1]));
    }
    QCOMPARE(lines[2], QString("icon=%1").arg(static_cast<int>(QMessageBox::Critical)));
    QCOMPARE(lines[3], QString("buttons=1"));
    QCOMPARE(lines[4], QString("window=1"));
  }

  void stderrWithoutDisplay_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QProcessEnvironment>("environment");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no display announced")
        << "no-display" << WithoutDisplay(nullptr)
        << "fatal error: the main window cannot be built: no display\n";
    QTest::newRow("display refuses the connection")
        << "display-refuses" << WithoutDisplay(":4711") << "fatal error: ";
    QTest::newRow("reporter before the GUI is up")
        << "reporter-without-gui" << QProcessEnvironment::systemEnvironment()
        << "fatal error 1: member 3 of 2\n";
  }

  void stderrWithoutDisplay() {
    QFETCH(QString, mode);
    QFETCH(QProcessEnvironment, environment);
    QFETCH(QString, expected);
    const ChildResult child = RunChild(mode, environment);
    QVERIFY(child.finished);
    QCOMPARE(child.exitStatus, QProcess::NormalExit);
    QCOMPARE(child.exitCode, 255);
    QVERIFY2(child.err.contains(expected), qPrintable(child.err));
    QCOMPARE(child.out, QString());
  }
};

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == kChildFlag) {
    return RunChildMode(argc, argv, argv[2]);
  }
  QApplication app(argc, argv);
  FatalReportTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "fatal_report_test.moc"
