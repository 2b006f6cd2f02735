#pragma once
// Grabbing: one launcher per start, one worker per wish. Workers query
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
#include "grab/grab_events.h"
#include "grab/grab_task.h"
#include "grab/order_chain.h"
#include "grab/order_tables.h"
#include "grab/order_wish.h"
#include "grab/query_pacer.h"
#include "grab/wish_schedule.h"
#include "grab/work_share.h"

namespace quillet {

class BookingClient;

struct GrabPacing {
  std::chrono::milliseconds afterFailedQuery{5000};
  std::chrono::milliseconds afterIdlePass{200};
  std::chrono::milliseconds orderPollWait{2000};
};

// Remaining-ticket text of a train for a seat type code; false for an unknown code.
bool SeatTicketsFor(const TrainRecord& train, const std::string& seatCode, std::string& ticketsText);

// A worker's order record for its wish (the first train, date and passenger;
// the whole party in `party`).
GrabTask TaskForWish(const OrderWish& wish);

// One seat type of one listed train that has tickets left.
struct OrderCandidate {
  const TrainRecord* train;
  std::string seatType;  // the service's code
};
// What a worker tries after a query, in order: the wanted seat types of the
// task's train (the first listed with its code) that have tickets left, in
// the wish's order.
std::vector<OrderCandidate> OrderCandidates(const std::vector<TrainRecord>& trains, const GrabTask& task,
                                            const OrderWish& wish);

class GrabController {
 public:
  GrabController(BookingClient& client, GrabEvents& events, std::string backTrainDate, GrabPacing pacing = {});
  ~GrabController();  // stops and joins every worker
  GrabController(const GrabController&) = delete;
  GrabController& operator=(const GrabController&) = delete;

  // Schedules for wishes with a start moment; set before the first start.
  void SetWishScheduleFactory(WishScheduleFactory factory);
  // Paces the queries of party wishes (service hours, throttling, the
  // account's budget); set before the first start. None: the plain pacing.
  void SetQueryPacer(std::shared_ptr<QueryPacer> pacer);
  // Shares the work of party wishes with other processes; set before the
  // first start. None: this process does all of it.
  void SetWorkShare(std::shared_ptr<WorkShare> share);

  // A sign-in succeeded: workers held by a lapsed session go on.
  void SignedInAgain();

  // The start button: starts a launcher thread, which starts one worker per
  // wish of `wishes`, and returns at once.
  //
  // The workers share the account: while an order of one of them has been
  // confirmed and its outcome is not learnt yet, the others do not order
  // (they wait, still stoppable); once such an outcome stays unknown (a
  // manual check, or the service says the account holds an unpaid order),
  // every wish still running ends as a manual check at its next pass or
  // order, until the next start.
  void StartGrabbing(std::vector<OrderWish> wishes);
  // The stop button: signals every launcher and worker, does not wait, and
  // reports OnGrabStopped. A worker ends at its next safe point: before a
  // query, inside a pause, before an order chain, or at once when a request
  // is in flight; an order chain that has passed ConfirmSingleForQueue runs
  // to its end first and reports its outcome.
  void StopGrabbing();
  // Program close: signals everything, order chains past their confirmation
  // included (see RunOrderChain), and waits for every thread to end; later
  // starts are refused. Not to be called from a GrabEvents callback.
  void StopAndJoinAll();
  // Workers whose thread has not ended yet.
  int RunningWorkerCount() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillet
