#pragma once
// Hands work from other threads to the thread of one object (the window
// thread), in the order it was handed over. The work itself passes through a
// mutex of ours, and only a plain wake-up call goes through Qt's event queue:
// ThreadSanitizer cannot see the locks inside Qt's libraries, but it sees
// this one.
#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

namespace quillet {

class ThreadHandOver : public QObject {
  Q_OBJECT
 public:
  explicit ThreadHandOver(QObject* parent = nullptr) : QObject(parent) {}

  // Runs `work` on this object's thread: at once when called there, otherwise
  // queued. Work still queued when the object is destroyed is dropped.
  void Post(std::function<void()> work);

 private slots:
  void RunPosted();

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> pending_;
};

}  // namespace quillet
