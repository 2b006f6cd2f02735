#pragma once
// Backing off while the service throttles this client. An episode starts
// with the first sign (a throttled answer, or several empty answers in a
// row) and ends with the first normal answer to a query sent after the
// latest back-off; meanwhile every further sign doubles the pause.
#include <chrono>
#include <optional>

#include "booking/query_answer.h"
#include "grab/shared_service_clock.h"

namespace quillet {

struct ThrottleSettings {
  std::chrono::milliseconds firstPause{1000};
  std::chrono::milliseconds longestPause{60000};
  double jitter = 0.2;  // a pause is drawn within this share either way
  int emptyAnswersInARow = 3;
};

class ThrottleBackoff {
 public:
  explicit ThrottleBackoff(ThrottleSettings settings = {}) : settings_(settings) {}

  enum class Change { kNone, kEpisodeStarted, kPausedLonger, kEpisodeEnded };
  // Notes the sign of an answer to a query sent at `sentAt`. `random` in
  // [0, 1) draws the jitter.
  Change Note(QueryAnswerSign sign, SteadyTime sentAt, SteadyTime now, double random);

  bool InEpisode() const { return episodeStart_.has_value(); }
  SteadyTime EpisodeStart() const { return episodeStart_.value_or(SteadyTime{}); }
  // No query goes before this (SteadyTime::min() outside an episode).
  SteadyTime ResumeAt() const { return resumeAt_; }
  std::chrono::milliseconds LastPause() const { return lastPause_; }

 private:
  void PauseAgain(SteadyTime now, double random);

  const ThrottleSettings settings_;
  std::optional<SteadyTime> episodeStart_;
  SteadyTime pausedAt_ = SteadyTime::min();  // when the latest pause began
  SteadyTime resumeAt_ = SteadyTime::min();
  std::chrono::milliseconds lastPause_{0};
  int level_ = 0;
  int emptyRun_ = 0;
};

}  // namespace quillet
