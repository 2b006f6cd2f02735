#pragma once
// Grabbing: one launcher per start, one worker per task row. Workers query
// again and again and run the order chain for the first wanted seat class
// with tickets left, until a ticket is booked or must be checked by hand.
#include <chrono>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "booking/records.h"
#include "grab/grab_task.h"
#include "grab/grab_view.h"
#include "grab/order_chain.h"

namespace quillet {

class BookingClient;

struct GrabPacing {
  std::chrono::milliseconds afterFailedQuery{5000};
  std::chrono::milliseconds afterIdlePass{200};
  std::chrono::milliseconds orderPollWait{2000};
};

// Seat name -> service seat type code; "" when the name has no code (无座).
std::string SeatCodeForName(const std::string& seatName);
// Remaining-ticket text of a train for a seat type code; false for an unknown code.
bool SeatTicketsFor(const TrainRecord& train, const std::string& seatCode, std::string& ticketsText);
// "商务座| ,硬座| ," -> "9| ,1| ,".
std::string BuildSeatCodes(const std::string& seatOrderText);
// Reads a task row (columns 0..7) into a fresh GrabTask.
GrabTask ReadTaskRow(GrabView& view, int row);

class GrabController {
 public:
  GrabController(BookingClient& client, GrabView& view, std::string backTrainDate, GrabPacing pacing = {});
  ~GrabController();  // stops and joins every worker
  GrabController(const GrabController&) = delete;
  GrabController& operator=(const GrabController&) = delete;

  // The start button: starts a launcher thread and returns at once (the
  // caller disables the start button itself).
  void StartGrabbing();
  // The stop button: signals every launcher and worker, does not wait, and
  // re-enables the start button. A worker ends at its next safe point: before
  // a query, inside a pause, before an order chain, or at once when a request
  // is in flight; an order chain that has passed ConfirmSingleForQueue runs
  // to its end first and logs its outcome.
  void StopGrabbing();
  // Signals everything and waits for every thread to end (program close);
  // later starts are refused. Not to be called from a GrabView callback.
  void StopAndJoinAll();
  // Workers whose thread has not ended yet.
  int RunningWorkerCount() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillet
