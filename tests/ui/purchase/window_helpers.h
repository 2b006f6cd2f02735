#pragma once
// Helpers for driving the real windows on the offscreen platform: finding
// controls by name, and acting inside modal windows, which block the caller
// in their own event loop until closed.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

#include "../support/event_loop.h"
#include "util/codepage.h"

namespace quillet::test {

template <typename T>
T* Find(const QWidget* window, const char16_t* name) {
  T* control = window->findChild<T*>(QString::fromUtf16(name));
  EXPECT_NE(control, nullptr) << QString::fromUtf16(name).toStdString();
  return control;
}

inline QString Q(const char8_t* utf8) { return QString::fromUtf8(reinterpret_cast<const char*>(utf8)); }

// While alive, runs `action` once on the first modal window other than
// `current` that shows. Create it before the call that opens the window; that
// call blocks in the window's own event loop, where the watch's timer fires.
class ModalWatch {
 public:
  explicit ModalWatch(std::function<void(QWidget*)> action, QWidget* current = nullptr)
      : action_(std::move(action)), current_(current) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || modal == current_.data() || !modal->isVisible()) return;
      timer_.stop();
      fired_ = true;
      action_(modal);
    });
    timer_.start(10);
  }
  ModalWatch(const ModalWatch&) = delete;
  ModalWatch& operator=(const ModalWatch&) = delete;
  bool Fired() const { return fired_; }

 private:
  std::function<void(QWidget*)> action_;
  QPointer<QWidget> current_;
  QTimer timer_;
  bool fired_ = false;
};

// The text of a message box, closed with its OK button; empty (and a test
// failure) when `modal` is not a message box.
inline QString CloseMessageBox(QWidget* modal) {
  auto* box = qobject_cast<QMessageBox*>(modal);
  if (!box) {
    ADD_FAILURE() << "expected a message box, got " << modal->metaObject()->className();
    if (modal) modal->close();
    return {};
  }
  EXPECT_EQ(box->windowTitle(), Q(u8"信息："));
  const QString text = box->text();
  box->button(QMessageBox::Ok)->click();
  return text;
}

// Picks an item of a drop-down list as the user does (the "item selected" event).
inline void PickItem(QComboBox* box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}

}  // namespace quillet::test
