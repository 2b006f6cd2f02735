#pragma once
// The real main window over a fresh program state, optionally pointed at a
// rehearsal service.
#include <QCoreApplication>
#include <QString>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "event_loop.h"
#include "ui/controls.h"
#include "ui/main_window.h"

namespace quillet::test {

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
  template <class T>
  T* Control(const char16_t* name) {
    return Control<T>(QString::fromUtf16(name));
  }

  std::unique_ptr<AppState> state_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace quillet::test
