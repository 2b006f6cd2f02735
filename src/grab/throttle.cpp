#include "grab/throttle.h"

#include <algorithm>
#include <cmath>

namespace quillet {

ThrottleBackoff::Change ThrottleBackoff::Note(QueryAnswerSign sign, SteadyTime sentAt, SteadyTime now, double random) {
  // Answers to queries that were already on their way when the latest pause
  // began say nothing new.
  if (InEpisode() && sentAt < pausedAt_) return Change::kNone;
  bool throttled = sign == QueryAnswerSign::kThrottled;
  if (sign == QueryAnswerSign::kEmpty) {
    throttled = ++emptyRun_ >= settings_.emptyAnswersInARow;
  } else {
    emptyRun_ = 0;
  }
  if (throttled) {
    emptyRun_ = 0;
    const bool started = !InEpisode();
    if (started) {
      episodeStart_ = now;
      level_ = 0;
    } else {
      ++level_;
    }
    PauseAgain(now, random);
    return started ? Change::kEpisodeStarted : Change::kPausedLonger;
  }
  if (sign == QueryAnswerSign::kNormal && InEpisode()) {
    episodeStart_.reset();
    resumeAt_ = SteadyTime::min();
    level_ = 0;
    return Change::kEpisodeEnded;
  }
  return Change::kNone;
}

void ThrottleBackoff::PauseAgain(SteadyTime now, double random) {
  const double base = static_cast<double>(settings_.firstPause.count()) * std::pow(2.0, std::min(level_, 30));
  const double drawn = base * (1.0 + settings_.jitter * (2.0 * random - 1.0));
  const double longest = static_cast<double>(settings_.longestPause.count());
  lastPause_ = std::chrono::milliseconds(static_cast<long long>(std::clamp(drawn, 1.0, longest)));
  pausedAt_ = now;
  resumeAt_ = now + lastPause_;
}

}  // namespace quillet
