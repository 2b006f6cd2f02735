#pragma once
// A party wish's waitlist order, kept beside its grab workers: placed when
// every wanted class is sold out but a waitlist is open, its state polled at
// a modest pace, and ended by whichever chance books the party first. One
// keeper per account: the service holds one open waitlist order per account.
#include <chrono>
#include <cstddef>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "booking/waitlist_answers.h"
#include "grab/grab_events.h"
#include "grab/order_wish.h"

namespace quillet {

class BookingClient;

struct WaitlistWish {
  std::size_t wishIndex = 0;
  OrderWish wish;
  std::string deadline;  // "yyyy-MM-dd HH:mm", China time; empty: the latest the service takes
};

struct WaitlistPlaced {
  std::size_t wishIndex = 0;
  std::string date;                     // yyyy-MM-dd
  std::vector<WaitlistChance> choices;  // train, class and the service's chance of each, in preference order
  std::string deadline;
  std::string reserveNo;  // the waitlist order's number
};

// What the keeper tells; calls come from its own thread, or from the thread
// that calls GrabBooked. Texts are program text.
class WaitlistEvents {
 public:
  virtual ~WaitlistEvents() = default;
  virtual void OnWaitlisted(const WaitlistPlaced& /*placed*/) {}
  // The service refused the waitlist (its reason); the wish goes on grabbing without one.
  virtual void OnWaitlistRefused(std::size_t /*wishIndex*/, const std::string& /*reason*/) {}
  virtual void OnWaitlistCancelled(std::size_t /*wishIndex*/, const std::string& /*reserveNo*/) {}
  virtual void OnWaitlistExpired(std::size_t /*wishIndex*/, const std::string& /*reserveNo*/) {}
  // The service filled the order: the party is booked (after the wish's workers were told to stop).
  virtual void OnWaitlistFilled(const OrderReport& /*order*/) {}
};

struct WaitlistPacing {
  std::chrono::milliseconds pass{5000};  // between two looks at the trains or at the order's state
  std::chrono::milliseconds queuePoll{1000};
  int queuePolls = 10;
};

class WaitlistKeeper {
 public:
  WaitlistKeeper(BookingClient& client, WaitlistEvents& events, WaitlistWish wish, WaitlistPacing pacing = {});
  ~WaitlistKeeper();  // Stop
  WaitlistKeeper(const WaitlistKeeper&) = delete;
  WaitlistKeeper& operator=(const WaitlistKeeper&) = delete;

  // Triggered once the order has been filled: the wish's workers end with it.
  std::stop_token FilledToken() const;
  std::size_t WishIndex() const;
  void Start();
  // Grabbing booked the wish: the keeper ends its look in progress, then
  // cancels the open order (OnWaitlistCancelled) before returning.
  void GrabBooked();
  // The program ends: requests in flight are abandoned, an open order stays.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillet
