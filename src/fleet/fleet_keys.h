#pragma once
// The fleet's keys in Redis; every key of fleet NAME starts "quillet:fleet:NAME:".
//
//   members              set     ids of members that ever beat (gone ones are pruned by the status read)
//   member:<id>          string  "<last beat, Unix ms> <source address>", expires with the heartbeat's TTL
//   accounts             set     accounts whose lease anyone tried to take
//   lease:<account>      string  id of the member holding the account, expires with the lease's TTL
//   signin:<account>     string  the account's session cookies ("name=value; ..."), as the holder last saw them
//   sightings            stream  entries: account wish date from to train class member at (Unix ms); ~10000 kept
//   wishes               set     wishes that were attempted or ended
//   wish:<wish>          hash    attempts, outcome ("booked" / "manual_check"), order_id, by (member), at (Unix ms),
//                                confirming (the lock's holder once it is about to confirm its order)
//   wish:<wish>:lock     string  id of the member that holds the wish's order lock (no expiry: see FleetStore)
#include <string>
#include <string_view>

namespace quillet::fleet {

class FleetKeys {
 public:
  explicit FleetKeys(std::string_view fleetName) : prefix_("quillet:fleet:" + std::string(fleetName) + ":") {}

  std::string Members() const { return prefix_ + "members"; }
  std::string Member(std::string_view id) const { return prefix_ + "member:" + std::string(id); }
  std::string Accounts() const { return prefix_ + "accounts"; }
  std::string Lease(std::string_view account) const { return prefix_ + "lease:" + std::string(account); }
  std::string SignIn(std::string_view account) const { return prefix_ + "signin:" + std::string(account); }
  std::string Passengers(std::string_view account) const { return prefix_ + "passengers:" + std::string(account); }
  std::string Sightings() const { return prefix_ + "sightings"; }
  std::string Wishes() const { return prefix_ + "wishes"; }
  std::string Wish(std::string_view wish) const { return prefix_ + "wish:" + std::string(wish); }
  std::string OrderLock(std::string_view wish) const { return Wish(wish) + ":lock"; }

 private:
  std::string prefix_;
};

}  // namespace quillet::fleet
