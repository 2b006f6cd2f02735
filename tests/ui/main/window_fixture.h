#pragma once
// The real main window over a fresh program state, optionally pointed at a
// rehearsal service, and the means to wait for it and answer its message boxes.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include "../support/event_loop.h"
#include "../support/window_test.h"

namespace quillet::test {

// While alive, answers every message box with OK and keeps its text. The
// boxes are modal: they run their own event loop, in which this timer fires.
class MessageBoxCatcher {
 public:
  MessageBoxCatcher() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible()) return;
      titles_ << box->windowTitle();
      texts_ << box->text();
      box->button(QMessageBox::Ok)->click();
    });
    timer_.start(5);
  }
  const QStringList& Texts() const { return texts_; }
  const QStringList& Titles() const { return titles_; }

 private:
  QTimer timer_;
  QStringList texts_;
  QStringList titles_;
};

}  // namespace quillet::test
