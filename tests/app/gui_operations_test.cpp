// The operations the click handlers use: control texts in GBK, the message box, the clipboard and
// the busy pointer, on the real window.
#include <QAbstractButton>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/gui_operations.h"
#include "app/program_start.h"
#include "platform/gui.h"
#include "window_fixture.h"

using namespace joincode;
using namespace joincode::testing;

namespace {

Text Gbk(const QByteArray& bytes) {
  return Text(bytes.toStdString());
}

// What a real message box showed before the test closed it.
struct SeenBox {
  QString text;
  QString title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttonCount = 0;
  bool okButton = false;
  Qt::WindowModality modality = Qt::NonModal;
  bool markupRendered = true;
};

// Waits for the next modal message box, notes what it shows and presses its OK button.
void CloseNextMessageBox(SeenBox* seen) {
  QTimer::singleShot(0, [seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      CloseNextMessageBox(seen);  // not up yet: look again on the next turn
      return;
    }
    seen->text = box->text();
    seen->title = box->windowTitle();
    seen->icon = box->icon();
    seen->buttonCount = static_cast<int>(box->buttons().size());
    seen->okButton = box->button(QMessageBox::Ok) != nullptr;
    seen->modality = box->windowModality();
    seen->markupRendered = box->textFormat() != Qt::PlainText && Qt::mightBeRichText(box->text());
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
  });
}

}  // namespace

class GuiOperationsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void init() {
    QVERIFY(platform::InitGui());
    QVERIFY(BuildMainWindow() != 0);
  }

  void cleanup() {
    platform::SetMessageBoxObserver({});
    platform::ShutdownGui();
  }

  void emptyEditBoxGivesEmptyText() {
    const Text text = GetControlText(kMainWindowId, kEditBox2Id);
    QVERIFY(text.empty());
    QCOMPARE(text, Text(""));
    QCOMPARE(text, Text(static_cast<const char*>(nullptr)));
  }

  void roundTrip_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("gbk");
    QTest::addColumn<QString>("shown");
    QTest::newRow("digits") << kEditBox1Id << QByteArray("123456") << QString("123456");
    QTest::newRow("Chinese") << kEditBox2Id << QByteArray("\xD3\xD1\xC7\xE9\xCC\xE1\xCA\xBE")
                             << QString::fromUtf8("友情提示");
    QTest::newRow("failure message")
        << kEditBox3Id
        << QByteArray(
               "\xBB\xF1\xC8\xA1\xCA\xA7\xB0\xDC,\xBB\xF2\xD5\xDF\xC3\xBB\xD3\xD0\xB4\xCB"
               "Q\xC8\xBA,\xC7\xEB\xD6\xD8\xD0\xC2\xBB\xF1\xC8\xA1!")
        << QString::fromUtf8("获取失败,或者没有此Q群,请重新获取!");
    QTest::newRow("join code") << kEditBox3Id
                               << QByteArray("tencent://groupwpa/?subcmd=all&param=a%2Bb")
                               << QString("tencent://groupwpa/?subcmd=all&param=a%2Bb");
    QTest::newRow("full-width colon") << kEditBox1Id
                                      << QByteArray(
                                             "a\xA3\xBA"
                                             "b")
                                      << QString::fromUtf8("a：b");
    QTest::newRow("spaces only") << kEditBox2Id << QByteArray("   ") << QString("   ");
    QTest::newRow("markup stays text")
        << kEditBox2Id << QByteArray("<b>&amp;</b>") << QString("<b>&amp;</b>");
  }

  // The edit box shows the characters, not the bytes, and gives the same bytes back.
  void roundTrip() {
    QFETCH(int, id);
    QFETCH(QByteArray, gbk);
    QFETCH(QString, shown);
    SetControlText(kMainWindowId, id, Gbk(gbk));
    QCOMPARE(ControlWidget<QLineEdit>(id)->text(), shown);
    QCOMPARE(GetControlText(kMainWindowId, id), Gbk(gbk));
  }

  void typedTextIsRead() {
    auto* edit = ControlWidget<QLineEdit>(kEditBox1Id);
    edit->clear();
    QTest::keyClicks(edit, "12");
    QInputMethodEvent typed;  // Chinese comes in through the input method
    typed.setCommitString(QString::fromUtf8("群"));
    QApplication::sendEvent(edit, &typed);
    QCOMPARE(GetControlText(kMainWindowId, kEditBox1Id), Text("12\xC8\xBA"));
  }

  void emptyTextEmptiesTheBox_data() {
    QTest::addColumn<bool>("absent");
    QTest::newRow("absent text") << true;
    QTest::newRow("empty text") << false;
  }

  void emptyTextEmptiesTheBox() {
    QFETCH(bool, absent);
    QCOMPARE(GetControlText(kMainWindowId, kEditBox1Id), Text("6986280"));
    SetControlText(kMainWindowId, kEditBox1Id, absent ? Text() : Text(""));
    QCOMPARE(ControlWidget<QLineEdit>(kEditBox1Id)->text(), QString());
    QCOMPARE(GetControlText(kMainWindowId, kEditBox1Id), Text());
  }

  void unknownAddressesChangeNothing_data() {
    QTest::addColumn<int>("windowId");
    QTest::addColumn<int>("controlId");
    QTest::newRow("unknown window") << 1 << kEditBox1Id;
    QTest::newRow("unknown control") << kMainWindowId << 1;
    QTest::newRow("window id as control") << kMainWindowId << kMainWindowId;
  }

  void unknownAddressesChangeNothing() {
    QFETCH(int, windowId);
    QFETCH(int, controlId);
    QCOMPARE(GetControlText(windowId, controlId), Text());
    SetControlText(windowId, controlId, "changed");
    QCOMPARE(GetControlText(kMainWindowId, kEditBox1Id), Text("6986280"));
  }

  void controlsOfAClosedWindowReadEmpty() {
    QPointer<QWidget> window = MainWindowWidget();
    platform::CloseTopWindow(platform::FindTopWindow(kMainWindowId));
    QTRY_VERIFY(window.isNull());
    QCOMPARE(GetControlText(kMainWindowId, kEditBox1Id), Text());
    SetControlText(kMainWindowId, kEditBox1Id, "after close");  // must not crash
  }

  void clipboard_data() {
    QTest::addColumn<QByteArray>("gbk");
    QTest::addColumn<QString>("shown");
    QTest::newRow("join code") << QByteArray("tencent://groupwpa/?subcmd=all&param=x")
                               << QString("tencent://groupwpa/?subcmd=all&param=x");
    QTest::newRow("Chinese") << QByteArray("\xC9\xFA\xB3\xC9") << QString::fromUtf8("生成");
    QTest::newRow("empty text") << QByteArray() << QString();
  }

  // The clipboard holds exactly the new text afterwards, the empty text replacing what was there.
  void clipboard() {
    QFETCH(QByteArray, gbk);
    QFETCH(QString, shown);
    QGuiApplication::clipboard()->setText("left over");
    QVERIFY(SetClipboardText(Gbk(gbk)));
    QCOMPARE(QGuiApplication::clipboard()->text(), shown);
    QCOMPARE(GetClipboardText(), Gbk(gbk));
  }

  void messageBoxShowsTextAndTitle_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QString>("shownText");
    QTest::addColumn<QString>("shownTitle");
    QTest::newRow("failure message")
        << QByteArray("\xBB\xF1\xC8\xA1\xCA\xA7\xB0\xDC!")
        << QByteArray("\xD3\xD1\xC7\xE9\xCC\xE1\xCA\xBE") << QString::fromUtf8("获取失败!")
        << QString::fromUtf8("友情提示");
    QTest::newRow("markup shown as written")
        << QByteArray("<b>bold</b>") << QByteArray("t") << QString("<b>bold</b>") << QString("t");
    QTest::newRow("empty text") << QByteArray() << QByteArray("t") << QString() << QString("t");
  }

  // Style 0: one OK button, no icon; the box holds off input to the window until it is closed.
  void messageBoxShowsTextAndTitle() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, title);
    QFETCH(QString, shownText);
    QFETCH(QString, shownTitle);
    SeenBox seen;
    CloseNextMessageBox(&seen);
    ShowMessage(Gbk(text), 0, Gbk(title));
    QCOMPARE(seen.text, shownText);
    QCOMPARE(seen.title, shownTitle);
    QCOMPARE(seen.icon, QMessageBox::NoIcon);
    QCOMPARE(seen.buttonCount, 1);
    QVERIFY(seen.okButton);
    QCOMPARE(seen.modality, Qt::ApplicationModal);
    QVERIFY(!seen.markupRendered);
  }

  void messageBoxObserverReplacesTheBox() {
    QList<platform::MessageBoxCall> calls;
    platform::SetMessageBoxObserver([&calls](const platform::MessageBoxCall& call) {
      calls.append(call);
      return platform::kButtonOk;
    });
    ShowMessage("\xC9\xFA\xB3\xC9", 0, "title");
    QCOMPARE(calls.size(), 1);
    QVERIFY(calls[0].text == u"生成");
    QVERIFY(calls[0].title == u"title");
    QCOMPARE(calls[0].style, platform::kMessageBoxTaskModal);
  }

  void busyCursorWhileAlive() {
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    {
      BusyCursor busy;
      QVERIFY(QGuiApplication::overrideCursor() != nullptr);
      QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
      {
        BusyCursor nested;
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
      }
      QVERIFY(QGuiApplication::overrideCursor() != nullptr);
    }
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
  }
};

QTEST_MAIN(GuiOperationsTest)
#include "gui_operations_test.moc"
