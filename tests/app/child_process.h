// Running this test binary again as a child, for behaviour that ends the process.
//
//   ChildResult child = RunChild("esc-closes");  // main() sends "--child esc-closes" to the child
//   QCOMPARE(child.exitCode, 0);
#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

namespace joincode::testing {

inline constexpr char kChildFlag[] = "--child";

struct ChildResult {
  bool finished = false;
  QProcess::ExitStatus exitStatus = QProcess::CrashExit;
  int exitCode = -1;
  QString out;
  QString err;
};

// Runs the child mode `mode` with `environment` (the current one when empty) and waits for it.
inline ChildResult RunChild(const QString& mode,
                            const QProcessEnvironment& environment = QProcessEnvironment()) {
  QProcess child;
  child.setProcessEnvironment(environment.isEmpty() ? QProcessEnvironment::systemEnvironment()
                                                    : environment);
  child.start(QCoreApplication::applicationFilePath(), {kChildFlag, mode});
  ChildResult result;
  result.finished = child.waitForFinished(30000);
  if (!result.finished) {
    child.kill();
    child.waitForFinished();
  }
  result.exitStatus = child.exitStatus();
  result.exitCode = child.exitCode();
  result.out = QString::fromUtf8(child.readAllStandardOutput());
  result.err = QString::fromUtf8(child.readAllStandardError());
  return result;
}

}  // namespace joincode::testing
