// Finding the main window's widgets in tests that build it on the offscreen platform.
//
//   QWidget* window = MainWindowWidget();
//   auto* edit = ControlWidget<QLineEdit>(kEditBox1Id);
#pragma once

#include <QApplication>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "app/gui_operations.h"

namespace joincode::testing {

inline constexpr int32_t kButton1Id = 369164291;
inline constexpr int32_t kButton3Id = 369164891;
inline constexpr int32_t kLabel1Id = 369164874;
inline constexpr int32_t kLabel2Id = 369164876;
inline constexpr int32_t kLabel3Id = 369164881;

// The visible main window, or null.
inline QWidget* MainWindowWidget() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QString::number(kMainWindowId) && widget->isVisible()) {
      return widget;
    }
  }
  return nullptr;
}

template <typename Widget = QWidget>
Widget* ControlWidget(int32_t id) {
  QWidget* window = MainWindowWidget();
  return window != nullptr ? window->findChild<Widget*>(QString::number(id)) : nullptr;
}

}  // namespace joincode::testing
