// The windowing layer on Qt 6 Widgets.
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <vector>

#include "platform/gui.h"
#include "text/fatal_error.h"

// Resources compiled into a static library are registered by hand: nothing else references them.
static void RegisterProgramResources() {
  Q_INIT_RESOURCE(joincode);
}

namespace joincode::platform {
namespace {

QString ToQt(const std::u16string& text) {
  return QString::fromStdU16String(text);
}
std::u16string FromQt(const QString& text) {
  return text.toStdU16String();
}

// The label kind: paints its text itself and leaves the parent's background showing.
class TransLabel final : public QWidget {
 public:
  explicit TransLabel(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::NoFocus); }

  [[nodiscard]] const QString& text() const { return text_; }
  void setText(const QString& text) {
    text_ = text;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (text_.isEmpty()) {
      return;
    }
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.setFont(font());
    painter.drawText(
        rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip, text_);
  }

 private:
  QString text_;
};

// The top-level window: keeps its outer size, walks the focus order and answers the dialog keys.
class TopWindow final : public QWidget {
 public:
  explicit TopWindow(QSize outerSize)
      : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                             Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                             Qt::WindowCloseButtonHint),
        outerSize_(outerSize) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(outerSize);  // the frame is unknown until the window is shown
    installEventFilter(this);
  }

  void setFocusOrder(std::vector<QPointer<QWidget>> order) { focusOrder_ = std::move(order); }

  // Watches a child so that the dialog keys reach the window before the child sees them.
  void watch(QWidget* child) { child->installEventFilter(this); }

  void keepOuterSize() {
    if (adjusting_ || !isVisible()) {
      return;
    }
    adjusting_ = true;
    const QSize frame = frameGeometry().size() - size();
    const QSize client = outerSize_ - frame;
    if (client != size() && client.isValid()) {
      setFixedSize(client);
    }
    adjusting_ = false;
  }

  [[nodiscard]] QWidget* rememberedFocus() const {
    if (hasFocusableChild(focusWidget())) {
      return focusWidget();
    }
    return nullptr;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      return handleKey(*static_cast<QKeyEvent*>(event));
    }
    return QWidget::eventFilter(watched, event);
  }

  bool event(QEvent* event) override {
    switch (event->type()) {
      case QEvent::Show:
      case QEvent::Move:
      case QEvent::Resize: {
        const bool handled = QWidget::event(event);
        keepOuterSize();
        return handled;
      }
      default:
        return QWidget::event(event);
    }
  }

  void changeEvent(QEvent* event) override {
    if (event->type() == QEvent::ActivationChange) {
      if (isActiveWindow()) {
        restoreFocus();
      } else {
        remembered_ = focusWidget();
      }
    }
    QWidget::changeEvent(event);
  }

 private:
  [[nodiscard]] bool hasFocusableChild(QWidget* widget) const {
    return widget != nullptr && widget != this && isAncestorOf(widget);
  }

  // The live, visible, enabled members of the focus order.
  [[nodiscard]] std::vector<QWidget*> liveFocusOrder() const {
    std::vector<QWidget*> live;
    for (const QPointer<QWidget>& widget : focusOrder_) {
      if (widget && widget->isVisibleTo(this) && widget->isEnabled()) {
        live.push_back(widget.data());
      }
    }
    return live;
  }

  void restoreFocus() {
    QWidget* target = hasFocusableChild(remembered_.data()) ? remembered_.data() : nullptr;
    if (target == nullptr) {
      const std::vector<QWidget*> order = liveFocusOrder();
      if (!order.empty()) {
        target = order.front();
      }
    }
    if (target != nullptr && !target->hasFocus()) {
      target->setFocus(Qt::ActiveWindowFocusReason);
    }
  }

  void moveFocus(bool forward) {
    const std::vector<QWidget*> order = liveFocusOrder();
    if (order.empty()) {
      return;
    }
    const auto count = static_cast<std::ptrdiff_t>(order.size());
    const auto found = std::find(order.begin(), order.end(), focusWidget());
    std::ptrdiff_t next = 0;
    if (found == order.end()) {
      next = forward ? 0 : count - 1;
    } else {
      next = ((found - order.begin()) + (forward ? 1 : count - 1)) % count;
    }
    order[static_cast<size_t>(next)]->setFocus(forward ? Qt::TabFocusReason
                                                       : Qt::BacktabFocusReason);
  }

  // Tab, Shift+Tab, Esc and Enter, each pressed alone; no control here wants them for itself.
  bool handleKey(const QKeyEvent& key) {
    const Qt::KeyboardModifiers held =
        key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    switch (key.key()) {
      case Qt::Key_Tab:
        if (held == Qt::NoModifier) {
          moveFocus(true);
          return true;
        }
        if (held == Qt::ShiftModifier) {
          moveFocus(false);
          return true;
        }
        return false;
      case Qt::Key_Backtab:
        if (held == Qt::ShiftModifier) {
          moveFocus(false);
          return true;
        }
        return false;
      case Qt::Key_Escape:
        if (held == Qt::NoModifier) {
          close();
          return true;
        }
        return false;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        // Enter presses the default button; there is none, and it never moves the focus.
        return held == Qt::NoModifier;
      default:
        return false;
    }
  }

  QSize outerSize_;
  std::vector<QPointer<QWidget>> focusOrder_;
  QPointer<QWidget> remembered_;
  bool adjusting_ = false;
};

struct Entry {
  QPointer<QWidget> widget;
  int32_t id = 0;
  WindowHandle parent = 0;  // 0 for a top-level window
  std::optional<ControlKind> kind;
  void (*onClick)() = nullptr;
};

struct GuiState {
  std::unique_ptr<QApplication> ownApplication;
  bool running = false;
  std::map<WindowHandle, Entry> windows;
  WindowHandle lastHandle = 0;
  MessageBoxObserver messageBoxObserver;
  QtMessageHandler previousMessageHandler = nullptr;
};

GuiState& State() {
  static GuiState state;
  return state;
}

Entry* Find(WindowHandle handle) {
  auto& windows = State().windows;
  const auto found = windows.find(handle);
  if (found == windows.end() || !found->second.widget) {
    return nullptr;
  }
  return &found->second;
}

QWidget* WidgetOf(WindowHandle handle) {
  Entry* entry = Find(handle);
  return entry != nullptr ? entry->widget.data() : nullptr;
}

TopWindow* TopWindowOf(WindowHandle handle) {
  Entry* entry = Find(handle);
  if (entry == nullptr || entry->parent != 0) {
    return nullptr;
  }
  return static_cast<TopWindow*>(entry->widget.data());
}

WindowHandle Register(QWidget* widget, int32_t id, WindowHandle parent,
                      std::optional<ControlKind> kind) {
  GuiState& state = State();
  // Entries of destroyed windows go when new ones come, so the table stays as small as the GUI.
  std::erase_if(state.windows, [](const auto& item) { return !item.second.widget; });
  const WindowHandle handle = ++state.lastHandle;
  state.windows[handle] = Entry{widget, id, parent, kind, nullptr};
  return handle;
}

// A toolkit that cannot go on (a display that refuses us, say) is a fatal error, code 0. A box
// cannot be shown then, so the report goes to stderr.
void FatalToStderr(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg) {
    WriteFatalErrorToStderr(0, Text(message.toLocal8Bit().toStdString()));
    std::_Exit(-1);
  }
  if (QtMessageHandler previous = State().previousMessageHandler) {
    previous(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

bool DisplayAnnounced() {
  const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
  if (platform.isEmpty() || platform.startsWith(u"xcb")) {
    return !qEnvironmentVariableIsEmpty("DISPLAY");
  }
  if (platform.startsWith(u"wayland")) {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
  }
  return true;  // offscreen, vnc and the like need no outside display
}

}  // namespace

bool InitGui() {
  GuiState& state = State();
  if (state.running) {
    return true;
  }
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    if (QCoreApplication::instance() != nullptr || !DisplayAnnounced()) {
      return false;
    }
    state.previousMessageHandler = qInstallMessageHandler(FatalToStderr);
    // QApplication keeps references to both for its whole life.
    static int argc = 1;
    static char programName[] = "joincode";
    static char* argv[] = {programName, nullptr};
    state.ownApplication = std::make_unique<QApplication>(argc, argv);
  }
  RegisterProgramResources();
  state.running = true;
  return true;
}

bool GuiRunning() {
  return State().running;
}

void ShutdownGui() {
  GuiState& state = State();
  for (auto& [handle, entry] : state.windows) {
    if (entry.parent == 0 && entry.widget) {
      delete entry.widget.data();
    }
  }
  state.windows.clear();
  if (state.ownApplication) {
    state.ownApplication.reset();
    qInstallMessageHandler(state.previousMessageHandler);
    state.previousMessageHandler = nullptr;
  }
  state.running = false;
}

Size ScreenSize() {
  const QScreen* screen = GuiRunning() ? QGuiApplication::primaryScreen() : nullptr;
  if (screen == nullptr) {
    return {};
  }
  const QRect geometry = screen->geometry();
  return {geometry.width(), geometry.height()};
}

WindowHandle CreateTopWindow(int32_t id, const TopWindowSettings& settings) {
  if (!GuiRunning() || settings.outerWidth <= 0 || settings.outerHeight <= 0) {
    return 0;
  }
  auto* window = new TopWindow(QSize(settings.outerWidth, settings.outerHeight));
  window->setObjectName(QString::number(id));
  window->setWindowTitle(ToQt(settings.caption));
  if (!settings.icon.empty()) {
    window->setWindowIcon(QIcon(QStringLiteral(":/") + ToQt(settings.icon)));
  }
  window->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
  QPalette palette = window->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Button));
  window->setPalette(palette);
  window->setAutoFillBackground(true);
  return Register(window, id, 0, std::nullopt);
}

WindowHandle FindTopWindow(int32_t id) {
  // The newest window wins, as a window made again replaces the one before.
  auto& windows = State().windows;
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if (it->second.parent == 0 && it->second.id == id && it->second.widget) {
      return it->first;
    }
  }
  return 0;
}

WindowHandle CreateControl(WindowHandle parent, int32_t id, ControlKind kind, const Rect& place,
                           const std::u16string& text, bool tabStop) {
  TopWindow* window = TopWindowOf(parent);
  if (window == nullptr) {
    return 0;
  }
  const Qt::FocusPolicy focus = tabStop ? Qt::StrongFocus : Qt::ClickFocus;
  QWidget* control = nullptr;
  switch (kind) {
    case ControlKind::kEditBox: {
      auto* edit = new QLineEdit(window);
      edit->setFrame(true);
      // No limit of our own: the box holds whatever text it is given or typed (Qt's default cuts
      // at 32767 characters, which would shorten a long group number without a word).
      edit->setMaxLength(std::numeric_limits<int>::max());
      QPalette palette = edit->palette();
      palette.setColor(QPalette::Text, Qt::black);
      palette.setColor(QPalette::Base, Qt::white);
      edit->setPalette(palette);
      edit->setText(ToQt(text));
      edit->setCursorPosition(0);
      edit->setFocusPolicy(focus);
      control = edit;
      break;
    }
    case ControlKind::kButton: {
      auto* button = new QPushButton(ToQt(text), window);
      button->setAutoDefault(false);
      button->setDefault(false);
      button->setFocusPolicy(focus);
      control = button;
      break;
    }
    case ControlKind::kTransLabel: {
      auto* label = new TransLabel(window);
      label->setText(ToQt(text));
      control = label;
      break;
    }
  }
  control->setObjectName(QString::number(id));  // lets tools and tests find a control by its id
  control->hide();
  control->setGeometry(place.left, place.top, place.width, place.height);
  window->watch(control);
  const WindowHandle handle = Register(control, id, parent, kind);
  if (auto* button = qobject_cast<QPushButton*>(control)) {
    QObject::connect(button, &QPushButton::clicked, button, [handle] {
      if (Entry* entry = Find(handle); entry != nullptr && entry->onClick != nullptr) {
        entry->onClick();
      }
    });
  }
  return handle;
}

WindowHandle FindControl(WindowHandle parent, int32_t id) {
  for (const auto& [handle, entry] : State().windows) {
    if (entry.parent == parent && parent != 0 && entry.id == id && entry.widget) {
      return handle;
    }
  }
  return 0;
}

std::optional<ControlKind> KindOf(WindowHandle control) {
  Entry* entry = Find(control);
  return entry != nullptr ? entry->kind : std::nullopt;
}

void SetControlEnabled(WindowHandle control, bool enabled) {
  if (QWidget* widget = WidgetOf(control)) {
    widget->setEnabled(enabled);
  }
}

void SetClickHandler(WindowHandle control, void (*handler)()) {
  if (Entry* entry = Find(control)) {
    entry->onClick = handler;
  }
}

void SetStackingOrder(WindowHandle parent, std::span<const WindowHandle> topFirst) {
  if (TopWindowOf(parent) == nullptr) {
    return;
  }
  // Raising from the bottom up leaves the first one on top.
  for (auto it = topFirst.rbegin(); it != topFirst.rend(); ++it) {
    if (Entry* entry = Find(*it); entry != nullptr && entry->parent == parent) {
      entry->widget->raise();
    }
  }
}

void SetFocusOrder(WindowHandle parent, std::span<const WindowHandle> order) {
  TopWindow* window = TopWindowOf(parent);
  if (window == nullptr) {
    return;
  }
  std::vector<QPointer<QWidget>> widgets;
  for (const WindowHandle handle : order) {
    if (Entry* entry = Find(handle); entry != nullptr && entry->parent == parent) {
      widgets.emplace_back(entry->widget);
    }
  }
  window->setFocusOrder(std::move(widgets));
}

void ShowControl(WindowHandle control) {
  Entry* entry = Find(control);
  if (entry != nullptr && entry->parent != 0) {
    entry->widget->show();
  }
}

Rect OuterRect(WindowHandle window) {
  const TopWindow* top = TopWindowOf(window);
  if (top == nullptr) {
    return {};
  }
  const QRect frame = top->frameGeometry();
  return {frame.x(), frame.y(), frame.width(), frame.height()};
}

void MoveTopWindow(WindowHandle window, int32_t left, int32_t top) {
  if (TopWindow* widget = TopWindowOf(window)) {
    widget->move(left, top);  // a top-level window's position is that of its frame
  }
}

void ShowTopWindow(WindowHandle window) {
  TopWindow* widget = TopWindowOf(window);
  if (widget == nullptr) {
    return;
  }
  widget->show();
  widget->keepOuterSize();
  // Without a window manager nobody else hands the new window the keyboard.
  widget->activateWindow();
}

void SetFocusTo(WindowHandle control) {
  Entry* entry = Find(control);
  if (entry != nullptr && entry->parent != 0) {
    entry->widget->setFocus(Qt::OtherFocusReason);
  }
}

WindowHandle FocusedControl(WindowHandle window) {
  const TopWindow* top = TopWindowOf(window);
  if (top == nullptr) {
    return 0;
  }
  const QWidget* focused = top->rememberedFocus();
  for (const auto& [handle, entry] : State().windows) {
    if (entry.parent == window && entry.widget == focused) {
      return handle;
    }
  }
  return 0;
}

void CloseTopWindow(WindowHandle window) {
  if (TopWindow* widget = TopWindowOf(window)) {
    widget->close();
  }
}

std::u16string GetWindowText(WindowHandle window) {
  Entry* entry = Find(window);
  if (entry == nullptr) {
    return {};
  }
  QWidget* widget = entry->widget.data();
  if (!entry->kind) {
    return FromQt(widget->windowTitle());
  }
  switch (*entry->kind) {
    case ControlKind::kEditBox:
      return FromQt(static_cast<QLineEdit*>(widget)->text());
    case ControlKind::kButton:
      return FromQt(static_cast<QPushButton*>(widget)->text());
    case ControlKind::kTransLabel:
      return FromQt(static_cast<TransLabel*>(widget)->text());
  }
  return {};
}

void SetWindowText(WindowHandle window, const std::u16string& text) {
  Entry* entry = Find(window);
  if (entry == nullptr) {
    return;
  }
  QWidget* widget = entry->widget.data();
  if (!entry->kind) {
    widget->setWindowTitle(ToQt(text));
    return;
  }
  switch (*entry->kind) {
    case ControlKind::kEditBox:
      static_cast<QLineEdit*>(widget)->setText(ToQt(text));
      return;
    case ControlKind::kButton:
      static_cast<QPushButton*>(widget)->setText(ToQt(text));
      return;
    case ControlKind::kTransLabel:
      static_cast<TransLabel*>(widget)->setText(ToQt(text));
      return;
  }
}

int RunMessageLoop() {
  if (!GuiRunning()) {
    return 0;
  }
  return QApplication::exec();
}

int32_t ShowMessageBox(const std::u16string& text, const std::u16string& title, uint32_t style) {
  GuiState& state = State();
  if (state.messageBoxObserver) {
    return state.messageBoxObserver(MessageBoxCall{text, title, style});
  }
  if (!state.running) {
    return 0;
  }
  QMessageBox box;
  box.setWindowTitle(ToQt(title));
  box.setTextFormat(Qt::PlainText);  // a message is never markup, whatever it holds
  box.setText(ToQt(text));
  switch (style & 0xF0U) {
    case kMessageBoxIconError:
      box.setIcon(QMessageBox::Critical);
      break;
    case kMessageBoxIconQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case kMessageBoxIconWarning:
      box.setIcon(QMessageBox::Warning);
      break;
    case kMessageBoxIconInformation:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      box.setIcon(QMessageBox::NoIcon);
      break;
  }
  switch (style & 0x0FU) {
    case kMessageBoxOkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case kMessageBoxYesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      break;
  }
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Cancel:
      return kButtonCancel;
    case QMessageBox::Yes:
      return kButtonYes;
    case QMessageBox::No:
      return kButtonNo;
    default:
      return kButtonOk;
  }
}

void SetMessageBoxObserver(MessageBoxObserver observer) {
  State().messageBoxObserver = std::move(observer);
}

bool SetClipboardUnicodeText(const std::u16string& text) {
  QClipboard* clipboard = GuiRunning() ? QGuiApplication::clipboard() : nullptr;
  if (clipboard == nullptr) {
    return false;
  }
  const QString wanted = ToQt(text);
  clipboard->setText(wanted, QClipboard::Clipboard);
  // Placed only if reading it back gives it: another owner may have taken the clipboard.
  const QMimeData* placed = clipboard->mimeData(QClipboard::Clipboard);
  return placed != nullptr && placed->hasText() && placed->text() == wanted;
}

std::optional<std::u16string> ClipboardUnicodeText() {
  QClipboard* clipboard = GuiRunning() ? QGuiApplication::clipboard() : nullptr;
  const QMimeData* data =
      clipboard != nullptr ? clipboard->mimeData(QClipboard::Clipboard) : nullptr;
  if (data == nullptr || !data->hasText()) {
    return std::nullopt;
  }
  return FromQt(data->text());
}

void BeginBusyCursor() {
  if (GuiRunning()) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  }
}

void EndBusyCursor() {
  if (GuiRunning() && QGuiApplication::overrideCursor() != nullptr) {
    QGuiApplication::restoreOverrideCursor();
  }
}

}  // namespace joincode::platform
