#pragma once
// Holds an account's lease for a member on a thread of its own: while the
// member does not hold it, tries to take it every takeEvery; while it does,
// renews it every renewEvery. A renewal that fails in any way (another
// holder, the key gone, Redis silent) reports the lease lost at once, and
// the keeper goes back to trying to take it.
//
// A member that could only go on with a new sign-in gives way: once it has
// seen another member hold the account, it takes a free lease only while
// `lacksSignIn` is false or after the lease stayed free for a few of its
// tries. So when Redis comes back empty (leases and stored sign-ins lost),
// the member whose session is still signed in takes the account again and
// nobody has to sign in.
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "fleet/fleet_store.h"

namespace quillet::fleet {

enum class LeaseChange { kTaken, kLost };

class LeaseKeeper {
 public:
  // `onChange` runs on the keeper's thread; it should hand the news on and
  // return soon (a long call delays the next renewal).
  LeaseKeeper(FleetStore& store, std::string account, std::string member, std::function<void(LeaseChange)> onChange,
              std::function<bool()> lacksSignIn = {});
  // Stops the thread and releases a lease it holds.
  ~LeaseKeeper();
  LeaseKeeper(const LeaseKeeper&) = delete;
  LeaseKeeper& operator=(const LeaseKeeper&) = delete;

  bool Held() const { return held_.load(); }
  const std::string& Account() const { return account_; }

 private:
  void Run(std::stop_token stop);
  bool GivesWay();

  bool sawOtherHolder_ = false;  // the keeper's thread only
  int freeTries_ = 0;            // the keeper's thread only

  FleetStore& store_;
  const std::string account_;
  const std::string member_;
  const std::function<void(LeaseChange)> onChange_;
  const std::function<bool()> lacksSignIn_;
  std::atomic<bool> held_{false};
  std::jthread thread_;  // last: starts after the fields it reads
};

// Keeps a member's heartbeat alive on a thread of its own; a process that
// dies leaves it to run out.
class HeartbeatKeeper {
 public:
  HeartbeatKeeper(FleetStore& store, std::string member, std::string address);
  // The heartbeat stops and the member leaves the fleet's list at once.
  ~HeartbeatKeeper();
  HeartbeatKeeper(const HeartbeatKeeper&) = delete;
  HeartbeatKeeper& operator=(const HeartbeatKeeper&) = delete;

 private:
  FleetStore& store_;
  const std::string member_;
  const std::string address_;
  std::jthread thread_;
};

}  // namespace quillet::fleet
