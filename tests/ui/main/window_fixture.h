#pragma once
// The real main window over a fresh program state, optionally pointed at a
// rehearsal service, and the means to wait for it and answer its message boxes.
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "ui/controls.h"
#include "ui/main_window.h"

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

class WindowTest : public ::testing::Test {
 protected:
  // Creates the state and shows the window; the address may be empty when
  // the test never reaches the service.
  void Open(const std::string& serviceAddress = "http://127.0.0.1:9") {
    AppSettings settings;
    settings.serviceBaseAddress = serviceAddress;
    state_ = InitAppState(settings);
    window_ = std::make_unique<MainWindow>(*state_);
    window_->show();
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    window_.reset();
    ReleaseAppState(state_);
  }

  template <class T>
  T* Control(const QString& name) {
    T* control = FindControl<T>(window_.get(), name);
    EXPECT_NE(control, nullptr) << name.toStdString();
    return control;
  }

  std::unique_ptr<AppState> state_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace quillet::test
