#pragma once
// Waiting in GUI tests: the event loop keeps turning while a test waits, so
// queued signals, timers and worker posts reach the widgets.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <ostream>

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace quillet::test {

// Turns the event loop until `done` holds or `ms` pass.
inline bool WaitFor(const std::function<bool()>& done, int ms = 15000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace quillet::test
