// Helpers of the window's tests: fixture files under a temporary folder and
// waiting for the window thread's queued work with a time limit.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QThread>
#include <functional>

namespace app_test {

// Writes `content` to `path`, creating missing parent folders. Returns false
// when the file cannot be written.
inline bool WriteFile(const QString& path, const QByteArray& content) {
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(content) == content.size();
}

// Processes the window thread's events until `done` is true or `timeoutMs`
// has passed. Returns `done()`.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return done();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  return true;
}

// Waits without processing any event (the window thread stays busy), until
// `done` is true or `timeoutMs` has passed. Returns `done()`.
inline bool WaitWithoutEvents(const std::function<bool()>& done, int timeoutMs = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return done();
    QThread::msleep(1);
  }
  return true;
}

}  // namespace app_test
