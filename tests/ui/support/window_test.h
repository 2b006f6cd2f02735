#pragma once
// The real main window over a fresh program state, optionally pointed at a
// rehearsal service.
#include <QCoreApplication>
#include <QString>
#include <QTest>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "event_loop.h"
#include "session/session.h"
#include "ui/controls.h"
#include "ui/main_window.h"

namespace quillet::test {

class WindowTest : public ::testing::Test {
 protected:
  // Creates the session and shows the window; the address may be empty when
  // the test never reaches the service.
  void Open(const std::string& serviceAddress = "http://127.0.0.1:9") {
    SessionSettings settings;
    settings.service.address = serviceAddress;
    session_ = std::make_unique<Session>(settings);
    window_ = std::make_unique<MainWindow>(*session_);
    window_->show();
    QCoreApplication::processEvents();
  }
  // Open, with the window active, so that key presses reach it as typing does.
  void OpenActive() {
    Open();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }
  // Keys as the keyboard delivers them: to the open popup if there is one,
  // else to the focused control.
  void Type(const QString& keys) {
    for (QChar key : keys) QTest::keyClick(window_->windowHandle(), key.toLatin1());
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    window_.reset();
    session_.reset();
  }

  template <class T>
  T* Control(const QString& name) {
    T* control = FindControl<T>(window_.get(), name);
    EXPECT_NE(control, nullptr) << name.toStdString();
    return control;
  }
  template <class T>
  T* Control(const char16_t* name) {
    return Control<T>(QString::fromUtf16(name));
  }

  std::unique_ptr<Session> session_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace quillet::test
