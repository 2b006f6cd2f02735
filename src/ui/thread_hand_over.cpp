#include "ui/thread_hand_over.h"

#include <QMetaObject>
#include <QThread>
#include <QtGlobal>
#include <utility>

namespace quillet {

void ThreadHandOver::Post(std::function<void()> work) {
  if (QThread::currentThread() == thread()) {
    work();
    return;
  }
  {
    std::lock_guard lock(mutex_);
    pending_.push_back(std::move(work));
  }
  if (!QMetaObject::invokeMethod(this, "RunPosted", Qt::QueuedConnection)) qFatal("ThreadHandOver: no RunPosted slot");
}

// One wake-up per piece of work; a wake-up finds its work already done when an
// earlier one (or a nested event loop of a piece of work) ran it.
void ThreadHandOver::RunPosted() {
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard lock(mutex_);
      if (pending_.empty()) return;
      work = std::move(pending_.front());
      pending_.pop_front();
    }
    work();
  }
}

}  // namespace quillet
