#pragma once
// Service calls made from window handlers run on a thread of their own while
// the window keeps painting; the handler's remaining steps run on the window
// thread once the answer is back. One call per kind at a time. Each call
// carries a stop token: StopAll (and the destructor) abandons every running
// call, waits for its thread and drops its remaining steps.
#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <stop_token>
#include <thread>
#include <type_traits>
#include <utility>

#include "ui/thread_hand_over.h"

namespace quillet {

class ServiceCalls : public QObject {
 public:
  explicit ServiceCalls(QObject* parent = nullptr) : QObject(parent), handOver_(new ThreadHandOver(this)) {}
  ~ServiceCalls() override { StopAll(); }

  bool Running(int kind) const { return calls_.count(kind) != 0; }

  // Starts work(stop) off the window thread; then(result) follows on the
  // window thread. Returns false, starting nothing, while a call of the same
  // kind runs or after StopAll.
  template <class Work, class Then>
  bool Start(int kind, Work work, Then then) {
    if (stopped_ || Running(kind)) return false;
    using Result = std::invoke_result_t<Work, std::stop_token>;
    auto call = std::make_unique<std::jthread>();
    std::jthread* thread = call.get();
    calls_.emplace(kind, std::move(call));
    // The object outlives its threads (StopAll joins them); the steps still
    // queued when it goes are dropped with its hand-over.
    *thread = std::jthread([this, kind, work = std::move(work), then = std::move(then)](std::stop_token stop) mutable {
      Result result = work(stop);
      if (stop.stop_requested()) return;
      handOver_->Post([this, kind, then = std::move(then), result = std::move(result)]() mutable {
        if (stopped_) return;
        Finish(kind);
        then(std::move(result));
      });
    });
    return true;
  }

  // Abandons every running call and waits for its thread; nothing starts afterwards.
  void StopAll() {
    stopped_ = true;
    for (auto& [kind, thread] : calls_) thread->request_stop();
    calls_.clear();  // joins
  }

 private:
  void Finish(int kind) {
    auto found = calls_.find(kind);
    if (found == calls_.end()) return;
    std::unique_ptr<std::jthread> thread = std::move(found->second);
    calls_.erase(found);
    thread->join();  // the thread has handed over its result and is ending
  }

  ThreadHandOver* handOver_;
  std::map<int, std::unique_ptr<std::jthread>> calls_;
  bool stopped_ = false;
};

}  // namespace quillet
