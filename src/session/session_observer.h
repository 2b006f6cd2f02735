#pragma once
// What a session tells the program's front ends.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "booking/client.h"
#include "booking/records.h"
#include "grab/grab_events.h"
#include "grab/order_wish.h"

namespace quillet {

// Every call has an empty default, so an observer implements what it shows.
//
// Threads: OnSignedIn, OnPassengersLoaded, OnWishAdded and OnQueryResult run
// on the thread that called the session operation (service calls of the
// window run on threads of their own). The grab events run on launcher and
// worker threads, several at the same time, and OnGrabStopped on the thread
// that pressed stop. An observer that shows things on a window posts them to
// the window's thread; none may block on a thread that joins the workers
// (the one closing the session). The grab events are those of GrabEvents,
// stamped with the session's account.
class SessionObserver : public GrabEvents {
 public:
  virtual void OnSignedIn() {}
  // The account's passengers, as the session now holds them.
  virtual void OnPassengersLoaded(const std::vector<PassengerRecord>& /*passengers*/) {}
  virtual void OnWishAdded(std::size_t /*index*/, const OrderWish& /*wish*/) {}
  // A left-ticket query asked through the session, with its trains when done.
  virtual void OnQueryResult(const TrainsResult& /*result*/) {}
  // Grabbing may be started again: after every stop, and after a booking of
  // seat type "1" (the workers of other wishes may still run). Told after
  // OnGrabStopped or OnOrderBooked, on the same thread.
  virtual void OnGrabMayStartAgain() {}
};

}  // namespace quillet
