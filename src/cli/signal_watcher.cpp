#include "cli/signal_watcher.h"

#include <pthread.h>
#include <signal.h>

namespace quillet::cli {
namespace {

// SIGUSR1 only tells the watcher to end.
sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGUSR1);
  return set;
}

}  // namespace

void BlockStopSignals() {
  const sigset_t set = WatchedSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SignalWatcher::SignalWatcher(std::function<bool(int)> onSignal)
    : onSignal_(std::move(onSignal)), thread_([this] { Run(); }) {}

SignalWatcher::~SignalWatcher() {
  pthread_kill(thread_.native_handle(), SIGUSR1);
  thread_.join();
}

void SignalWatcher::Run() {
  const sigset_t set = WatchedSignals();
  for (;;) {
    int signalNumber = 0;
    if (sigwait(&set, &signalNumber) != 0) continue;
    if (signalNumber == SIGUSR1) return;
    if (onSignal_(signalNumber)) continue;
    // Not wanted now: the default action, as without a watcher.
    signal(signalNumber, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(signalNumber);
  }
}

}  // namespace quillet::cli
