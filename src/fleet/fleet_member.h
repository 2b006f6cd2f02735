#pragma once
// One process's part in a fleet for one account: its heartbeat, the
// account's lease (held or waited for), its share of the wishes' queries,
// its sightings, and, while it holds the account, the orders: sightings
// from other members feed its workers, every order runs under the wish's
// order lock and its outcome is recorded before anyone hears of it.
//
// A member that takes the lease loads the account's stored sign-in into the
// session's cookie jar and goes on with it; a sign-in of its own session
// while it holds the lease is stored for the others. Losing the lease stops
// the session's grabbing at once (an order past its confirmation runs to its
// end) and starts it again as a member that only queries and tells.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "fleet/fleet_store.h"
#include "fleet/lease_keeper.h"

namespace quillet {
class Session;
}

namespace quillet::fleet {

struct FleetMemberSettings {
  std::string member;   // this member's id in the fleet
  std::string address;  // its source address, shown with its heartbeat
  std::string account;  // the session's account
  // The fleet's name of each of the session's wishes, in the session's
  // order; the same on every member. Missing names are "<account>/<n>".
  std::vector<std::string> wishNames;
  // This member queries every shareCount-th (date, station pair) of a wish,
  // starting at shareIndex (shifted by the wish's place, so that members
  // take turns with wishes that have few). A shareCount of 0: the share
  // follows the members whose heartbeat is alive (by their ids' order), so
  // that the share of a member that is gone is taken up by the others.
  std::size_t shareIndex = 0;
  std::size_t shareCount = 0;
  // How long one read of the sightings waits; between reads the member
  // looks whether wishes ended elsewhere.
  std::chrono::milliseconds readWait{200};
};

// Told on the member's threads; each may be empty.
struct FleetMemberReport {
  std::function<void(bool held)> leaseChanged;
  // The lease was taken and no sign-in is stored: the session needs one.
  std::function<void()> needsSignIn;
  // Every wish ended for the whole fleet.
  std::function<void()> allDone;
  // The number of members that share the account's queries, at the start
  // and whenever it changes (a member came or went): each keeps that part
  // of the account's query budget.
  std::function<void(std::size_t members)> sharedBy;
};

class FleetWorkShare;

class FleetMember {
 public:
  // The session (its wishes added) and the store outlive the member.
  FleetMember(Session& session, std::shared_ptr<FleetStore> store, FleetMemberSettings settings,
              FleetMemberReport report = {});
  // Stops its threads and gives a held lease back; the session's workers
  // stop ordering. Not while a sign-in of the session runs.
  ~FleetMember();
  FleetMember(const FleetMember&) = delete;
  FleetMember& operator=(const FleetMember&) = delete;

  // Joins: the heartbeat, the lease, the sightings and the session's grabbing.
  void Start();

  bool HoldsAccount() const;
  bool AllDone() const;
  // Until every wish ended for the fleet; false after `timeout` or a stop.
  bool WaitUntilAllDone(std::chrono::milliseconds timeout, const std::stop_token& stop = {});

 private:
  class SignInWatch;
  void OnLease(LeaseChange change);
  void ReadSightings(const std::stop_token& stop);
  bool CheckEnded();
  void FollowLiveMembers();
  void TellSharedBy(std::size_t members);

  Session& session_;
  const std::shared_ptr<FleetStore> store_;
  const FleetMemberSettings settings_;
  const FleetMemberReport report_;
  const std::shared_ptr<FleetWorkShare> share_;
  std::unique_ptr<SignInWatch> signInWatch_;

  std::mutex doneMutex_;
  std::condition_variable_any doneChanged_;
  std::atomic<bool> allDone_{false};
  std::size_t sharedBy_ = 0;  // as last told; the sightings reader's thread only
  std::atomic<bool> started_{false};

  // Last: started by Start, stopped first by the destructor.
  std::unique_ptr<HeartbeatKeeper> heartbeat_;
  std::unique_ptr<LeaseKeeper> lease_;
  std::jthread reader_;
};

}  // namespace quillet::fleet
