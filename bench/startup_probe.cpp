// Starts the program as main() does, up to the moment the main window is shown, then prints its
// resident memory ("rss_kib=<now> peak_kib=<high water>") and exits. Driven by startup_bench.
#include <QApplication>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/gui_operations.h"
#include "app/program_start.h"
#include "platform/gui.h"

namespace {

long StatusKib(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) {
      return std::stol(line.substr(field.size() + 1));
    }
  }
  return -1;
}

}  // namespace

int main() {
  if (!joincode::platform::InitGui() || joincode::BuildMainWindow() == 0) {
    return 1;
  }
  const QWidget* window = nullptr;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QString::number(joincode::kMainWindowId)) {
      window = widget;
    }
  }
  while (window->windowHandle() == nullptr || !window->windowHandle()->isExposed()) {
    QApplication::processEvents();
  }
  std::printf("rss_kib=%ld peak_kib=%ld\n", StatusKib("VmRSS"), StatusKib("VmHWM"));
  std::fflush(stdout);
  joincode::platform::ShutdownGui();
  return 0;
}
