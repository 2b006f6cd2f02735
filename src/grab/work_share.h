#pragma once
// How the workers of one session share a wish's work with other processes
// (a fleet of machines with one account): which of the wish's (date,
// station pair) queries this process makes, whether it may order at all,
// where its sightings go when it may not, and how a sighting made elsewhere
// reaches the worker that orders. Party wishes only; without a share set,
// a worker queries everything and orders what it sees itself.
#include <chrono>
#include <cstddef>
#include <optional>
#include <stop_token>
#include <string>

#include "booking/records.h"
#include "grab/order_chain.h"
#include "grab/station_pairs.h"

namespace quillet {

// Tickets for a wanted class, seen by a query: what an order of it needs.
struct SeenSeat {
  std::string date;  // yyyy-MM-dd
  StationPair pair;
  TrainRecord train;     // as listed (code, train number, secret, left-ticket text, location)
  std::string seatCode;  // the service's seat type code
};

// The order a chain was confirming, as its orderer wrote it down: what a
// person checks when its outcome is unknown.
struct ConfirmingOrder {
  std::string train;     // station train code
  std::string date;      // yyyy-MM-dd
  std::string seatType;  // the service's seat type code
};

// Whether a wish may be ordered now.
enum class OrderPermit {
  kGranted,  // order it; AfterOrder follows the chain
  kNotNow,   // its order lock is held elsewhere, or this process does not order now
  kInDoubt,  // an order of it may stand at the service with its outcome unknown
             // (its orderer vanished while confirming), written down as a case
             // for a person: the worker reports a manual check and ends
};

// Every call may come from any worker thread, several at the same time.
class WorkShare {
 public:
  virtual ~WorkShare() = default;

  // Whether this process queries the wish's date `dateIndex` with its
  // station pair `pairIndex`.
  virtual bool Queries(std::size_t wishIndex, std::size_t dateIndex, std::size_t pairIndex) = 0;
  // Whether this process orders for the wish now. One that does not hands
  // what it sees to Sighted instead.
  virtual bool Orders(std::size_t wishIndex) = 0;
  virtual void Sighted(std::size_t wishIndex, const SeenSeat& seen) = 0;
  // A seat seen elsewhere for the wish, waiting up to `wait` for one (zero:
  // only one already there); nothing after the wait or a stop.
  virtual std::optional<SeenSeat> NextSeenElsewhere(std::size_t wishIndex, std::chrono::milliseconds wait,
                                                    const std::stop_token& stop) = 0;
  // Stopped once a seat seen elsewhere waits for the wish, so that a worker
  // waiting for its next query's moment takes it (NextSeenElsewhere) at
  // once; asked again after that, a fresh one. Never stopped by default.
  virtual std::stop_token SeenElsewhereSignal(std::size_t /*wishIndex*/) { return {}; }
  // Before an order chain.
  virtual OrderPermit BeforeOrder(std::size_t wishIndex) = 0;
  // At the start of each pass: true when an order of the wish that another
  // process began may stand at the service with its outcome unknown (that
  // process is gone); it is written down as a case for a person, and the
  // worker reports a manual check and ends.
  virtual bool OrderLeftInDoubt(std::size_t /*wishIndex*/) { return false; }
  // The chain that BeforeOrder allowed is about to confirm: from now on its
  // order may stand at the service. False: it must not confirm (what the
  // others must know of it could not be written down, or this process no
  // longer orders); the chain ends as failed with nothing placed.
  virtual bool Confirming(std::size_t /*wishIndex*/, const GrabTask& /*task*/) { return true; }
  // Once BeforeOrder or OrderLeftInDoubt found the wish in doubt: the order
  // whose outcome is unknown, as the process that confirmed it wrote it
  // down (nothing when it did not say).
  virtual std::optional<ConfirmingOrder> OrderInDoubt(std::size_t /*wishIndex*/) { return std::nullopt; }
  // After the chain that BeforeOrder allowed, before anyone is told of it.
  virtual void AfterOrder(std::size_t wishIndex, const GrabTask& task, const OrderOutcome& outcome) = 0;
  // Stops the wish's worker, as a stop does, once the wish ended elsewhere.
  virtual std::stop_token WishEnded(std::size_t wishIndex) = 0;
};

}  // namespace quillet
