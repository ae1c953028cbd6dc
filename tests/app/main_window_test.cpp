// The main window as the user meets it: its definition, place, stacking, focus and keys.
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include "app/gui_operations.h"
#include "app/program_start.h"
#include "app/service_host.h"
#include "platform/gui.h"
#include "window_fixture.h"

using namespace joincode;
using namespace joincode::testing;

namespace {

enum class Kind { kEditBox, kButton, kTransLabel };

Kind KindOfWidget(QWidget* widget) {
  if (qobject_cast<QLineEdit*>(widget) != nullptr) {
    return Kind::kEditBox;
  }
  if (qobject_cast<QPushButton*>(widget) != nullptr) {
    return Kind::kButton;
  }
  return Kind::kTransLabel;
}

}  // namespace

Q_DECLARE_METATYPE(Kind)

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  QList<int> messageBoxes_;

 private slots:
  void initTestCase() {
    // A click that slips through must neither reach the internet nor wait for a human.
    SetServiceHost("127.0.0.1:1");
    platform::SetMessageBoxObserver([this](const platform::MessageBoxCall&) {
      messageBoxes_.append(1);
      return platform::kButtonOk;
    });
    QApplication::setQuitOnLastWindowClosed(false);
  }

  void init() {
    messageBoxes_.clear();
    QVERIFY(platform::InitGui());
    QVERIFY(BuildMainWindow() != 0);
    QVERIFY(MainWindowWidget() != nullptr);
    QVERIFY(QTest::qWaitForWindowActive(MainWindowWidget()));
  }

  void cleanup() { platform::ShutdownGui(); }

  void controls_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<QByteArray>("gbkText");
    QTest::addColumn<QString>("shownText");

    QTest::newRow("button 3 (copy)")
        << kButton3Id << Kind::kButton << QRect(200, 124, 64, 32)
        << QByteArray("\xB8\xB4\xD6\xC6\xB4\xFA\xC2\xEB") << QString::fromUtf8("复制代码");
    QTest::newRow("edit box 3") << kEditBox3Id << Kind::kEditBox << QRect(63, 90, 207, 22)
                                << QByteArray() << QString();
    QTest::newRow("label 3") << kLabel3Id << Kind::kTransLabel << QRect(7, 88, 58, 24)
                             << QByteArray("\xBC\xD3\xC8\xBA\xB4\xFA\xC2\xEB\xA3\xBA")
                             << QString::fromUtf8("加群代码：");
    QTest::newRow("label 2") << kLabel2Id << Kind::kTransLabel << QRect(16, 51, 42, 24)
                             << QByteArray("param\xA3\xBA") << QString::fromUtf8("param：");
    QTest::newRow("edit box 2") << kEditBox2Id << Kind::kEditBox << QRect(62, 55, 207, 22)
                                << QByteArray() << QString();
    QTest::newRow("label 1") << kLabel1Id << Kind::kTransLabel << QRect(27, 16, 40, 24)
                             << QByteArray("QQ\xC8\xBA\xA3\xBA") << QString::fromUtf8("QQ群：");
    QTest::newRow("edit box 1") << kEditBox1Id << Kind::kEditBox << QRect(63, 18, 136, 22)
                                << QByteArray("6986280") << QString::fromUtf8("6986280");
    QTest::newRow("button 1 (generate)")
        << kButton1Id << Kind::kButton << QRect(206, 14, 64, 32) << QByteArray("\xC9\xFA\xB3\xC9")
        << QString::fromUtf8("生成");
  }

  void controls() {
    QFETCH(int, id);
    QFETCH(Kind, kind);
    QFETCH(QRect, place);
    QFETCH(QByteArray, gbkText);
    QFETCH(QString, shownText);

    QWidget* control = ControlWidget(id);
    QVERIFY(control != nullptr);
    QCOMPARE(KindOfWidget(control), kind);
    QCOMPARE(control->geometry(), place);
    QVERIFY(control->isVisible());
    QVERIFY(control->isEnabled());
    QCOMPARE(GetControlText(kMainWindowId, id), Text(gbkText.toStdString()));
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      QCOMPARE(edit->text(), shownText);
      QVERIFY(edit->hasFrame());
      QCOMPARE(edit->palette().color(QPalette::Text), QColor(Qt::black));
      QCOMPARE(edit->palette().color(QPalette::Base), QColor(Qt::white));
      QCOMPARE(edit->cursorPosition(), 0);
      QVERIFY(!edit->hasSelectedText());
    } else if (auto* button = qobject_cast<QPushButton*>(control)) {
      QCOMPARE(button->text(), shownText);
      QVERIFY(!button->isDefault());
      QVERIFY(!button->autoDefault());
    } else {
      QCOMPARE(control->focusPolicy(), Qt::NoFocus);
      QVERIFY(!control->autoFillBackground());
    }
  }

  void window() {
    QWidget* window = MainWindowWidget();
    QCOMPARE(window->windowTitle(), QString::fromUtf8("加群代码获取 By:Zorvik"));
    QCOMPARE(window->frameGeometry().size(), QSize(285, 190));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    const Qt::WindowFlags flags = window->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(window->parentWidget() == nullptr);
    QCOMPARE(window->palette().color(QPalette::Window), window->palette().color(QPalette::Button));
    const QIcon icon = window->windowIcon();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.pixmap(32, 32).size(), QSize(32, 32));
  }

  void centredOnPrimaryScreen() {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QPoint expected((screen.width() - 285) / 2, (screen.height() - 190) / 2);
    QCOMPARE(MainWindowWidget()->frameGeometry().topLeft(), expected);
  }

  void centredPosition_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("even screen") << QSize(800, 600) << QPoint(257, 205);
    QTest::newRow("odd remainder truncates") << QSize(1366, 767) << QPoint(540, 288);
    QTest::newRow("screen just fits") << QSize(285, 190) << QPoint(0, 0);
    // Toward zero, not toward minus infinity: -85 / 2 is -42.
    QTest::newRow("screen smaller than window") << QSize(200, 100) << QPoint(-42, -45);
  }

  void centredPosition() {
    QFETCH(QSize, screen);
    QFETCH(QPoint, expected);
    const Position place = CentredPosition({screen.width(), screen.height()}, {285, 190});
    QCOMPARE(QPoint(place.left, place.top), expected);
  }

  // Where controls overlap, the earlier record lies on top.
  void stacking_data() {
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("topmost");
    QTest::newRow("label 1 over edit box 1") << QPoint(65, 28) << kLabel1Id;
    QTest::newRow("edit box 3 over label 3") << QPoint(64, 100) << kEditBox3Id;
    QTest::newRow("edit box 1 beside label 1") << QPoint(70, 28) << kEditBox1Id;
  }

  void stacking() {
    QFETCH(QPoint, point);
    QFETCH(int, topmost);
    QWidget* found = MainWindowWidget()->childAt(point);
    while (found != nullptr && found->parentWidget() != MainWindowWidget()) {
      found = found->parentWidget();
    }
    QVERIFY(found != nullptr);
    QCOMPARE(found->objectName(), QString::number(topmost));
  }

  void startsWithFocusOnGenerate() {
    QCOMPARE(QApplication::focusWidget(), ControlWidget(kButton1Id));
    QCOMPARE(GetControlText(kMainWindowId, kEditBox1Id), Text("6986280"));
    QCOMPARE(GetControlText(kMainWindowId, kEditBox2Id), Text());
    QCOMPARE(GetControlText(kMainWindowId, kEditBox3Id), Text());
  }

  void focusOrder_data() {
    QTest::addColumn<bool>("backwards");
    QTest::addColumn<QList<int>>("visits");
    QTest::newRow("Tab wraps to generate")
        << false << QList<int>{kEditBox1Id, kEditBox2Id, kEditBox3Id, kButton3Id, kButton1Id};
    QTest::newRow("Shift+Tab wraps to generate")
        << true << QList<int>{kButton3Id, kEditBox3Id, kEditBox2Id, kEditBox1Id, kButton1Id};
  }

  void focusOrder() {
    QFETCH(bool, backwards);
    QFETCH(QList<int>, visits);
    for (const int id : visits) {
      if (backwards) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
      } else {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      }
      QCOMPARE(QApplication::focusWidget()->objectName(), QString::number(id));
    }
  }

  void enterChangesNothing_data() {
    QTest::addColumn<int>("focused");
    QTest::addColumn<int>("key");
    QTest::newRow("Return on generate") << kButton1Id << int(Qt::Key_Return);
    QTest::newRow("keypad Enter on generate") << kButton1Id << int(Qt::Key_Enter);
    QTest::newRow("Return on copy") << kButton3Id << int(Qt::Key_Return);
    QTest::newRow("Return in edit box 1") << kEditBox1Id << int(Qt::Key_Return);
    QTest::newRow("Return in edit box 3") << kEditBox3Id << int(Qt::Key_Return);
  }

  void enterChangesNothing() {
    QFETCH(int, focused);
    QFETCH(int, key);
    QSignalSpy generateClicks(ControlWidget<QPushButton>(kButton1Id), &QPushButton::clicked);
    QSignalSpy copyClicks(ControlWidget<QPushButton>(kButton3Id), &QPushButton::clicked);
    ControlWidget(focused)->setFocus(Qt::OtherFocusReason);
    const Text before1 = GetControlText(kMainWindowId, kEditBox1Id);

    const Qt::KeyboardModifiers modifiers =
        key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    QTest::qWait(10);

    QCOMPARE(generateClicks.count(), 0);
    QCOMPARE(copyClicks.count(), 0);
    QCOMPARE(messageBoxes_.size(), 0);
    QVERIFY(MainWindowWidget() != nullptr);
    QCOMPARE(QApplication::focusWidget()->objectName(), QString::number(focused));
    QCOMPARE(GetControlText(kMainWindowId, kEditBox1Id), before1);
    QCOMPARE(GetControlText(kMainWindowId, kEditBox2Id), Text());
  }

  // Space is how the keyboard presses a button; the click reaches the bound handler.
  void spaceClicksFocusedButton() {
    QSignalSpy copyClicks(ControlWidget<QPushButton>(kButton3Id), &QPushButton::clicked);
    ControlWidget(kButton3Id)->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(copyClicks.count(), 1);
  }

  void escapeCloses_data() {
    QTest::addColumn<int>("focused");
    QTest::newRow("from generate") << kButton1Id;
    QTest::newRow("from an edit box") << kEditBox2Id;
  }

  void escapeCloses() {
    QFETCH(int, focused);
    QPointer<QWidget> window = MainWindowWidget();
    ControlWidget(focused)->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(window.isNull() || !window->isVisible());
    QTRY_VERIFY(window.isNull());  // closed means destroyed
    QCOMPARE(platform::FindTopWindow(kMainWindowId), platform::WindowHandle{0});
    QCOMPARE(GetControlText(kMainWindowId, kEditBox1Id), Text());
  }

  void escapeWithModifierDoesNotClose() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape, Qt::ShiftModifier);
    QTest::qWait(10);
    QVERIFY(MainWindowWidget() != nullptr);
  }

  void focusComesBackAfterDeactivation_data() {
    QTest::addColumn<int>("focused");
    QTest::newRow("edit box 2") << kEditBox2Id;
    QTest::newRow("copy button") << kButton3Id;
    QTest::newRow("generate button") << kButton1Id;
  }

  void focusComesBackAfterDeactivation() {
    QFETCH(int, focused);
    QWidget* window = MainWindowWidget();
    ControlWidget(focused)->setFocus(Qt::OtherFocusReason);

    QWidget other;
    other.setWindowTitle("another program");
    QLineEdit otherEdit(&other);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    otherEdit.setFocus();
    QVERIFY(!window->isActiveWindow());

    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QCOMPARE(QApplication::focusWidget()->objectName(), QString::number(focused));
    const platform::WindowHandle handle = platform::FindTopWindow(kMainWindowId);
    QCOMPARE(platform::FocusedControl(handle), platform::FindControl(handle, focused));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
