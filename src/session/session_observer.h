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
// (the one closing the session).
class SessionObserver {
 public:
  virtual ~SessionObserver() = default;

  virtual void OnSignedIn() {}
  // The account's passengers, as the session now holds them.
  virtual void OnPassengersLoaded(const std::vector<PassengerRecord>& /*passengers*/) {}
  virtual void OnWishAdded(std::size_t /*index*/, const OrderWish& /*wish*/) {}
  // A left-ticket query asked through the session, with its trains when done.
  virtual void OnQueryResult(const TrainsResult& /*result*/) {}

  // Grabbing (see GrabEvents).
  virtual void OnGrabAttempt(std::size_t /*wishIndex*/, std::uint32_t /*count*/, const std::string& /*caption*/) {}
  virtual void OnGrabLogLine(const std::string& /*line*/) {}
  virtual void OnQueryFailed(std::size_t /*wishIndex*/, const std::string& /*date*/, const std::string& /*reason*/) {}
  virtual void OnOrderRefused(const OrderReport& /*order*/) {}
  virtual void OnOrderBooked(const OrderReport& /*order*/) {}
  virtual void OnOrderNeedsManualCheck(const OrderReport& /*order*/) {}
  virtual void OnGrabStopped() {}
  // The service no longer knows the sign-in: a new sign-in is needed.
  virtual void OnSessionLapsed() {}
};

}  // namespace quillet
