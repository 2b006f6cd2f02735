#pragma once
// The grab workers' view of the fleet (see WorkShare): the member's share of
// each wish's queries, sightings published while another member holds the
// account, sightings of others handed to the holder's workers, and the
// wish's order lock and outcome around each order chain.
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "fleet/fleet_store.h"
#include "grab/order_wish.h"
#include "grab/work_share.h"

namespace quillet::fleet {

struct FleetMemberSettings;

class FleetWorkShare : public WorkShare {
 public:
  FleetWorkShare(std::shared_ptr<FleetStore> store, const FleetMemberSettings& settings, std::vector<OrderWish> wishes);

  bool Queries(std::size_t wishIndex, std::size_t dateIndex, std::size_t pairIndex) override;
  bool Orders(std::size_t wishIndex) override;
  void Sighted(std::size_t wishIndex, const SeenSeat& seen) override;
  std::optional<SeenSeat> NextSeenElsewhere(std::size_t wishIndex, std::chrono::milliseconds wait,
                                            const std::stop_token& stop) override;
  std::stop_token SeenElsewhereSignal(std::size_t wishIndex) override;
  OrderPermit BeforeOrder(std::size_t wishIndex) override;
  bool Confirming(std::size_t wishIndex, const GrabTask& task) override;
  std::optional<ConfirmingOrder> OrderInDoubt(std::size_t wishIndex) override;
  bool OrderLeftInDoubt(std::size_t wishIndex) override;
  void AfterOrder(std::size_t wishIndex, const GrabTask& task, const OrderOutcome& outcome) override;
  std::stop_token WishEnded(std::size_t wishIndex) override;

  // Whether this member holds the account; a member that loses it forgets
  // the sightings it was handed.
  void SetHeld(bool held);
  bool Held() const { return held_.load(); }
  // A sighting read from the fleet: handed to the wish's worker while this
  // member holds the account. Its own and unknown ones are passed over.
  void Feed(const Sighting& sighting);
  // The wish ended for the fleet: its worker stops.
  void EndWish(std::size_t wishIndex);
  bool WishHasEnded(std::size_t wishIndex) const;

  // This member's place among `count` members that share the queries.
  void SetShare(std::size_t index, std::size_t count);

  std::size_t WishCount() const { return wishes_.size(); }
  const std::string& WishName(std::size_t wishIndex) const { return names_[wishIndex]; }

 private:
  std::optional<SeenSeat> SeenOf(std::size_t wishIndex, const Sighting& sighting) const;
  void Record(std::size_t wishIndex, WishOutcomeKind kind, const std::string& orderId);
  OrderPermit AfterLockRefused(std::size_t wishIndex, const std::string& holder);

  const std::shared_ptr<FleetStore> store_;
  const std::string member_;
  const std::string account_;
  std::atomic<std::size_t> shareIndex_;
  std::atomic<std::size_t> shareCount_;
  const std::vector<OrderWish> wishes_;
  std::vector<std::string> names_;
  std::vector<std::size_t> pairCounts_;
  std::vector<std::stop_source> ended_;  // one per wish; the sources themselves are thread-safe

  std::atomic<bool> held_{false};
  std::mutex mutex_;  // guards seen_, seenSignals_ and inDoubt_
  std::condition_variable_any seenArrived_;
  std::vector<std::optional<SeenSeat>> seen_;            // the latest seat seen elsewhere, per wish
  std::vector<std::stop_source> seenSignals_;            // stopped while seen_ holds the wish's seat
  std::vector<std::optional<ConfirmingOrder>> inDoubt_;  // per wish, once found in doubt
};

// The fleet's name of the session's wish `index` when none is given.
std::string DefaultWishName(const std::string& account, std::size_t index);

}  // namespace quillet::fleet
