#include "fleet/fleet_member.h"

#include <utility>

#include "fleet/fleet_work_share.h"
#include "session/session.h"
#include "util/wait.h"

namespace quillet::fleet {
namespace {

constexpr std::chrono::milliseconds kRedisRetryWait{500};
constexpr std::chrono::milliseconds kEndedCheckEvery{500};

}  // namespace

// Stores a sign-in of the session for the others while the member holds the account.
class FleetMember::SignInWatch : public SessionObserver {
 public:
  explicit SignInWatch(FleetMember& member) : member_(member) {}
  void OnSignedIn() override {
    if (!member_.share_->Held()) return;
    member_.store_->StoreSignIn(member_.settings_.account, member_.session_.Client().Cookies());
  }

 private:
  FleetMember& member_;
};

FleetMember::FleetMember(Session& session, std::shared_ptr<FleetStore> store, FleetMemberSettings settings,
                         FleetMemberReport report)
    : session_(session),
      store_(std::move(store)),
      settings_(std::move(settings)),
      report_(std::move(report)),
      share_(std::make_shared<FleetWorkShare>(store_, settings_, session.Wishes())),
      signInWatch_(std::make_unique<SignInWatch>(*this)) {
  session_.AddObserver(*signInWatch_);
  session_.SetWorkShare(share_);
}

FleetMember::~FleetMember() {
  reader_.request_stop();
  if (reader_.joinable()) reader_.join();
  lease_.reset();  // gives the lease back
  heartbeat_.reset();
  share_->SetHeld(false);
  session_.RemoveObserver(*signInWatch_);
}

void FleetMember::Start() {
  if (started_.exchange(true)) return;
  heartbeat_ = std::make_unique<HeartbeatKeeper>(*store_, settings_.member, settings_.address);
  // The share is known before the first query (the reader's thread follows it after).
  if (settings_.shareCount != 0) {
    TellSharedBy(settings_.shareCount);
  } else {
    store_->Beat(settings_.member, settings_.address);
    FollowLiveMembers();
  }
  reader_ = std::jthread([this](std::stop_token stop) { ReadSightings(stop); });
  session_.StartGrabbing();
  lease_ = std::make_unique<LeaseKeeper>(
      *store_, settings_.account, settings_.member, [this](LeaseChange change) { OnLease(change); },
      [this] { return !session_.SignedIn() && !store_->ReadSignIn(settings_.account).cookies; });
}

bool FleetMember::HoldsAccount() const { return share_->Held(); }
bool FleetMember::AllDone() const { return allDone_.load(); }

bool FleetMember::WaitUntilAllDone(std::chrono::milliseconds timeout, const std::stop_token& stop) {
  std::unique_lock lock(doneMutex_);
  return doneChanged_.wait_for(lock, stop, timeout, [this] { return allDone_.load(); });
}

void FleetMember::OnLease(LeaseChange change) {
  if (change == LeaseChange::kTaken) {
    share_->SetHeld(true);
    if (report_.leaseChanged) report_.leaseChanged(true);
    const SignInResult stored = store_->ReadSignIn(settings_.account);
    if (stored.cookies && session_.SignedIn() && *stored.cookies == session_.Client().Cookies().Text()) {
      // The stored sign-in is this session's own (it signed in just before
      // it took the lease): nothing to take over.
    } else if (stored.cookies) {
      session_.Client().Cookies().SetText(*stored.cookies);
      session_.UseSignInFromElsewhere(settings_.account);
    } else if (session_.SignedIn()) {
      store_->StoreSignIn(settings_.account, session_.Client().Cookies());
    } else if (report_.needsSignIn) {
      report_.needsSignIn();
    }
    return;
  }
  share_->SetHeld(false);
  if (report_.leaseChanged) report_.leaseChanged(false);
  if (allDone_.load()) return;
  // An order chain before its confirmation ends now; the workers start
  // again as those of a member that only queries and tells.
  session_.StopGrabbing();
  session_.StartGrabbing();
}

void FleetMember::ReadSightings(const std::stop_token& stop) {
  std::string lastId;
  while (!stop.stop_requested()) {
    const PublishResult latest = store_->LatestSightingId();
    if (latest.failure == RedisFailure::kNone) {
      lastId = latest.id;
      break;
    }
    if (!WaitUnlessStopped(stop, kRedisRetryWait)) return;
  }
  auto nextCheck = std::chrono::steady_clock::now();
  while (!stop.stop_requested()) {
    const SightingsResult read = store_->ReadSightings(lastId, settings_.readWait);
    if (stop.stop_requested()) return;
    if (read.failure != RedisFailure::kNone) {
      if (!WaitUnlessStopped(stop, kRedisRetryWait)) return;
    } else {
      lastId = read.lastId;
      for (const Sighting& sighting : read.sightings) share_->Feed(sighting);
    }
    if (std::chrono::steady_clock::now() < nextCheck) continue;
    nextCheck = std::chrono::steady_clock::now() + kEndedCheckEvery;
    if (settings_.shareCount == 0) FollowLiveMembers();
    if (CheckEnded()) return;
  }
}

void FleetMember::FollowLiveMembers() {
  const StatusResult status = store_->ReadStatus();
  if (status.failure != RedisFailure::kNone) return;
  const std::vector<MemberStatus>& members = status.status.members;  // sorted by id
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (members[i].id != settings_.member) continue;
    share_->SetShare(i, members.size());
    TellSharedBy(members.size());
  }
}

void FleetMember::TellSharedBy(std::size_t members) {
  if (members == sharedBy_) return;
  sharedBy_ = members;
  if (report_.sharedBy) report_.sharedBy(members);
}

// Ends the workers of wishes that ended elsewhere; true once all have.
bool FleetMember::CheckEnded() {
  bool all = true;
  for (std::size_t w = 0; w < share_->WishCount(); ++w) {
    if (share_->WishHasEnded(w)) continue;
    const OutcomeResult outcome = store_->ReadOutcome(share_->WishName(w));
    if (outcome.failure == RedisFailure::kNone && outcome.outcome) {
      share_->EndWish(w);
    } else {
      all = false;
    }
  }
  if (!all) return false;
  {
    std::lock_guard lock(doneMutex_);
    allDone_.store(true);
  }
  doneChanged_.notify_all();
  if (report_.allDone) report_.allDone();
  return true;
}

}  // namespace quillet::fleet
