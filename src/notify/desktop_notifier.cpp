#include "notify/desktop_notifier.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <list>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>
#include <utility>

#include "notify/notification_text.h"
#include "notify/texts.h"

namespace quillet {

namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr char kClickAction[] = "default";

struct MessageRef {
  sd_bus_message* message = nullptr;
  ~MessageRef() { sd_bus_message_unref(message); }
};

int OpenBus(const std::string& address, sd_bus** bus) {
  if (address.empty()) return sd_bus_open_user(bus);
  int result = sd_bus_new(bus);
  if (result < 0) return result;
  if ((result = sd_bus_set_address(*bus, address.c_str())) < 0 || (result = sd_bus_set_bus_client(*bus, 1)) < 0 ||
      (result = sd_bus_start(*bus)) < 0) {
    *bus = sd_bus_flush_close_unref(*bus);
  }
  return result;
}

// Notify(app_name s, replaces_id u, app_icon s, summary s, body s,
//        actions as, hints a{sv}, expire_timeout i) -> id u
int AppendNotify(sd_bus_message* call, const NotificationText& text, bool clickable) {
  int r = sd_bus_message_append(call, "susss", kNotificationAppName, 0u, kNotificationIcon, text.summary.c_str(),
                                text.body.c_str());
  if (r < 0) return r;
  r = clickable ? sd_bus_message_append(call, "as", 2, kClickAction, text.summary.c_str())
                : sd_bus_message_append_strv(call, nullptr);
  if (r < 0) return r;
  return sd_bus_message_append(call, "a{sv}i", 2, "urgency", "y", static_cast<uint8_t>(text.urgency), "desktop-entry",
                               "s", kNotificationIcon, -1);
}

std::uint64_t MonotonicMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

// One Notify call, handed from the delivering thread to the bus thread.
struct NotifyCall {
  enum class Outcome { kPending, kShown, kNoBus, kNoService, kError };

  explicit NotifyCall(NotificationText t) : text(std::move(t)) {}

  void Finish(Outcome end, std::string words = {}) {
    {
      std::lock_guard lock(mutex);
      if (outcome != Outcome::kPending) return;
      outcome = end;
      message = std::move(words);
    }
    changed.notify_all();
  }

  const NotificationText text;
  std::mutex mutex;
  std::condition_variable_any changed;
  Outcome outcome = Outcome::kPending;  // guarded by `mutex`, as is `message`
  std::string message;                  // the bus's words for kError (UTF-8), may be empty
};

}  // namespace

// Owns the connection: every sd-bus call on it happens on this thread, which
// sends the calls it is handed and dispatches the answers and the service's
// signals.
class DesktopNotifier::BusThread {
 public:
  BusThread(std::string address, std::chrono::milliseconds callLimit, std::function<void()> onClick)
      : address_(std::move(address)),
        callLimit_(callLimit),
        onClick_(std::move(onClick)),
        wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
        thread_([this](std::stop_token stop) { Run(stop); }) {}

  ~BusThread() {
    thread_.request_stop();
    Wake();
    thread_.join();
    if (wakeFd_ >= 0) close(wakeFd_);
  }
  BusThread(const BusThread&) = delete;
  BusThread& operator=(const BusThread&) = delete;

  void Send(std::shared_ptr<NotifyCall> call) {
    {
      std::lock_guard lock(mutex_);
      queued_.push_back(std::move(call));
    }
    Wake();
  }

 private:
  struct InFlight {
    std::shared_ptr<NotifyCall> call;
    BusThread* owner = nullptr;
    sd_bus_slot* slot = nullptr;
    bool answered = false;
  };

  void Wake() {
    if (wakeFd_ < 0) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
  }

  void Run(const std::stop_token& stop) {
    while (!stop.stop_requested()) {
      std::deque<std::shared_ptr<NotifyCall>> calls;
      {
        std::lock_guard lock(mutex_);
        calls.swap(queued_);
      }
      for (const std::shared_ptr<NotifyCall>& call : calls) Start(call);
      Process();
      Wait();
    }
    Close();
  }

  bool Open() {
    if (OpenBus(address_, &bus_) < 0) {
      bus_ = nullptr;
      return false;
    }
    if (onClick_) {
      // Any sender: a notification is ours only when its id is one we were given.
      sd_bus_match_signal(bus_, nullptr, nullptr, kPath, kService, "ActionInvoked", &BusThread::OnSignal, this);
      sd_bus_match_signal(bus_, nullptr, nullptr, kPath, kService, "NotificationClosed", &BusThread::OnSignal, this);
    }
    return true;
  }

  void Start(const std::shared_ptr<NotifyCall>& call) {
    if (bus_ == nullptr && !Open()) {
      call->Finish(NotifyCall::Outcome::kNoBus);
      return;
    }
    MessageRef message;
    int r = sd_bus_message_new_method_call(bus_, &message.message, kService, kPath, kService, "Notify");
    if (r >= 0) r = AppendNotify(message.message, call->text, static_cast<bool>(onClick_));
    InFlight& sent = inFlight_.emplace_back(InFlight{call, this});
    if (r >= 0) {
      const auto usec = static_cast<std::uint64_t>(callLimit_.count()) * 1000u;
      r = sd_bus_call_async(bus_, &sent.slot, message.message, &BusThread::OnReply, &sent, usec);
    }
    if (r < 0) {
      inFlight_.pop_back();
      call->Finish(NotifyCall::Outcome::kError);
      // The connection may be gone; the next call opens a new one.
      if (!sd_bus_is_open(bus_)) Close();
    }
  }

  void Process() {
    if (bus_ == nullptr) return;
    int r = 0;
    do {
      r = sd_bus_process(bus_, nullptr);
    } while (r > 0);
    for (auto it = inFlight_.begin(); it != inFlight_.end();) {
      if (!it->answered) {
        ++it;
        continue;
      }
      sd_bus_slot_unref(it->slot);
      it = inFlight_.erase(it);
    }
    if (r < 0 || !sd_bus_is_open(bus_)) Close();
  }

  // Until the bus has something, a call is handed over or a call's time is up.
  void Wait() {
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {-1, 0, 0}};
    int timeoutMs = wakeFd_ < 0 ? 50 : -1;
    if (bus_ != nullptr) {
      fds[1].fd = sd_bus_get_fd(bus_);
      const int events = sd_bus_get_events(bus_);
      fds[1].events = static_cast<short>(events > 0 ? events : POLLIN);
      std::uint64_t until = 0;
      if (sd_bus_get_timeout(bus_, &until) >= 0 && until != UINT64_MAX) {
        const std::uint64_t now = MonotonicMicroseconds();
        const std::uint64_t left = until > now ? (until - now + 999) / 1000 : 0;
        const int boundMs = left > INT_MAX ? INT_MAX : static_cast<int>(left);
        timeoutMs = timeoutMs < 0 ? boundMs : std::min(timeoutMs, boundMs);
      }
    }
    if (poll(fds, bus_ != nullptr ? 2 : 1, timeoutMs) > 0 && (fds[0].revents & POLLIN) != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t got = read(wakeFd_, &count, sizeof count);
    }
  }

  void Close() {
    for (InFlight& sent : inFlight_) {
      sent.call->Finish(NotifyCall::Outcome::kError);
      sd_bus_slot_unref(sent.slot);
    }
    inFlight_.clear();
    shown_.clear();
    bus_ = sd_bus_flush_close_unref(bus_);
  }

  static int OnReply(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    auto* sent = static_cast<InFlight*>(userdata);
    sent->answered = true;
    if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
      if (sd_bus_error_has_name(error, SD_BUS_ERROR_SERVICE_UNKNOWN) ||
          sd_bus_error_has_name(error, SD_BUS_ERROR_NAME_HAS_NO_OWNER)) {
        sent->call->Finish(NotifyCall::Outcome::kNoService);
      } else {
        sent->call->Finish(NotifyCall::Outcome::kError, error->message != nullptr ? error->message : "");
      }
      return 0;
    }
    std::uint32_t id = 0;
    if (sd_bus_message_read(reply, "u", &id) >= 0) sent->owner->shown_.insert(id);
    sent->call->Finish(NotifyCall::Outcome::kShown);
    return 0;
  }

  static int OnSignal(sd_bus_message* signal, void* userdata, sd_bus_error*) {
    auto* self = static_cast<BusThread*>(userdata);
    std::uint32_t id = 0;
    if (sd_bus_message_is_signal(signal, kService, "ActionInvoked")) {
      const char* action = nullptr;
      if (sd_bus_message_read(signal, "us", &id, &action) < 0 || action == nullptr) return 0;
      if (std::string_view(action) != kClickAction || self->shown_.count(id) == 0) return 0;
      try {
        self->onClick_();
      } catch (...) {
      }
    } else if (sd_bus_message_is_signal(signal, kService, "NotificationClosed")) {
      std::uint32_t reason = 0;
      if (sd_bus_message_read(signal, "uu", &id, &reason) >= 0) self->shown_.erase(id);
    }
    return 0;
  }

  const std::string address_;
  const std::chrono::milliseconds callLimit_;
  const std::function<void()> onClick_;
  const int wakeFd_;

  std::mutex mutex_;  // guards `queued_`
  std::deque<std::shared_ptr<NotifyCall>> queued_;

  // The bus thread's own.
  sd_bus* bus_ = nullptr;
  std::list<InFlight> inFlight_;
  std::set<std::uint32_t> shown_;  // ids of our notifications still on screen

  std::jthread thread_;  // last: it starts once everything above exists
};

DesktopNotifier::DesktopNotifier(DesktopNotifierOptions options)
    : callLimit_(options.callLimit),
      bus_(std::make_unique<BusThread>(std::move(options.busAddress), options.callLimit, std::move(options.onClick))) {}

DesktopNotifier::~DesktopNotifier() = default;

DeliveryResult DesktopNotifier::FailOnce(const std::string& detail, DeliveryFailure failure) {
  if (failureReported_) return {DeliveryOutcome::kSkipped, {}};
  failureReported_ = true;
  return {DeliveryOutcome::kFailed, detail, std::move(failure)};
}

DeliveryResult DesktopNotifier::Deliver(const NotifyEvent& event, std::stop_token stop) {
  if (stop.stop_requested()) return {DeliveryOutcome::kSkipped, {}};
  const auto call = std::make_shared<NotifyCall>(NotificationFor(event));
  bus_->Send(call);
  NotifyCall::Outcome outcome = NotifyCall::Outcome::kPending;
  std::string message;
  {
    std::unique_lock lock(call->mutex);
    // sd-bus ends the call at callLimit; the margin only guards against a stuck bus thread.
    call->changed.wait_for(lock, stop, callLimit_ + std::chrono::seconds(2),
                           [&] { return call->outcome != NotifyCall::Outcome::kPending; });
    outcome = call->outcome;
    message = call->message;
  }
  switch (outcome) {
    case NotifyCall::Outcome::kShown:
      failureReported_ = false;
      return {DeliveryOutcome::kDelivered, {}};
    case NotifyCall::Outcome::kNoBus:
      return FailOnce(notify_texts::NoSessionBus(), DeliveryFailure(DeliveryFailure::Kind::kNoSessionBus));
    case NotifyCall::Outcome::kNoService:
      return FailOnce(notify_texts::NoNotificationService(),
                      DeliveryFailure(DeliveryFailure::Kind::kNoNotificationService));
    case NotifyCall::Outcome::kPending:
      if (stop.stop_requested()) return {DeliveryOutcome::kSkipped, {}};
      break;
    case NotifyCall::Outcome::kError:
      break;
  }
  std::string detail = notify_texts::NoNotificationService();
  DeliveryFailure failure(DeliveryFailure::Kind::kNoNotificationService);
  if (!message.empty()) {
    detail += ": " + message;
    failure.systemText = message;
  }
  return FailOnce(detail, std::move(failure));
}

}  // namespace quillet
