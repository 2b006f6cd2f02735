#pragma once
// How a quillet-grab run paces itself against the service: the plan's
// hours and query budget, what the pacer tells (lines, JSON events, a
// notification for a long throttled episode) and the keep-alive of an idle
// sign-in.
#include <chrono>
#include <memory>

#include "cli/event_output.h"
#include "cli/plan.h"
#include "grab/keep_alive.h"
#include "grab/query_pacer.h"
#include "notify/notifier_set.h"
#include "session/session.h"

namespace quillet::cli {

// An idle sign-in sends the session check this often (the service forgets
// a session after a few minutes without a request).
inline constexpr std::chrono::seconds kKeepAliveEvery{90};

std::shared_ptr<QueryPacer> MakeRunPacer(const Plan& plan, std::shared_ptr<SharedServiceClock> clock,
                                         EventOutput& output, NotifierSet& notifiers);
std::unique_ptr<KeepAlive> MakeKeepAlive(Session& session, std::shared_ptr<QueryPacer> pacer,
                                         std::chrono::milliseconds interval = kKeepAliveEvery);

}  // namespace quillet::cli
