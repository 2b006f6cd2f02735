#include "grab/waitlist_choice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "grab/grab_controller.h"
#include "grab/texts.h"

namespace quillet {

namespace {

bool Digits(const std::string& text, std::size_t at, std::size_t count, int& value) {
  value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

// Minutes since 1970-01-01 00:00 of "yyyy-MM-dd HH:mm" (a clock time, no zone).
std::optional<long long> MinuteOf(const std::string& moment) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  if (moment.size() != 16 || moment[4] != '-' || moment[7] != '-' || moment[10] != ' ' || moment[13] != ':' ||
      !Digits(moment, 0, 4, year) || !Digits(moment, 5, 2, month) || !Digits(moment, 8, 2, day) ||
      !Digits(moment, 11, 2, hour) || !Digits(moment, 14, 2, minute) || hour > 23 || minute > 59) {
    return std::nullopt;
  }
  const std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                                         std::chrono::day(static_cast<unsigned>(day))};
  if (!date.ok()) return std::nullopt;
  return static_cast<long long>(std::chrono::sys_days(date).time_since_epoch().count()) * 1440 + hour * 60 + minute;
}

std::string MomentText(long long minutes) {
  const long long days = minutes >= 0 ? minutes / 1440 : (minutes - 1439) / 1440;
  const int ofDay = static_cast<int>(minutes - days * 1440);
  const std::chrono::year_month_day date{std::chrono::sys_days(std::chrono::days(days))};
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02d:%02d", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), ofDay / 60, ofDay % 60);
  return buf;
}

}  // namespace

std::string ShiftMinuteText(const std::string& moment, int minutes) {
  const auto at = MinuteOf(moment);
  return at ? MomentText(*at + minutes) : std::string();
}

std::optional<WaitlistPlacement> ChooseWaitlist(
    const PartyWish& wish, const std::vector<std::optional<std::vector<WaitlistTrain>>>& answersByDate) {
  if (answersByDate.size() < wish.dates.size()) return std::nullopt;
  std::optional<WaitlistPlacement> placement;
  for (std::size_t d = 0; d < wish.dates.size(); ++d) {
    if (!answersByDate[d]) return std::nullopt;
    const std::vector<WaitlistTrain>& answer = *answersByDate[d];
    std::vector<TrainRecord> records;
    for (const WaitlistTrain& train : answer) records.push_back(train.record);
    if (!PartyChoicesOn(wish, d, records).empty()) return std::nullopt;  // grabbing can book it
    if (placement) continue;
    // The wanted trains in preference order (with none named, the answer's).
    std::vector<const WaitlistTrain*> wanted;
    if (wish.trains.empty()) {
      for (const WaitlistTrain& train : answer) wanted.push_back(&train);
    } else {
      for (const std::string& code : wish.trains) {
        const auto it = std::find_if(answer.begin(), answer.end(),
                                     [&](const WaitlistTrain& t) { return t.record.stationTrainCode == code; });
        if (it != answer.end()) wanted.push_back(&*it);
      }
    }
    WaitlistPlacement here{d, wish.dates[d], {}};
    for (const WaitlistTrain* train : wanted) {
      if (!train->waitlistOpen) continue;
      for (const std::string& code : wish.seatCodes) {
        std::string tickets;
        if (here.choices.size() < kMaxWaitlistChoices && SeatTicketsFor(train->record, code, tickets) &&
            tickets == grab_texts::NoTickets()) {
          here.choices.push_back({train->record, code});
        }
      }
    }
    if (!here.choices.empty()) placement = std::move(here);
  }
  return placement;
}

std::string LatestWaitlistDeadline(const WaitlistPlacement& placement) {
  std::optional<long long> earliest;
  for (const WaitlistPlacement::Choice& choice : placement.choices) {
    const auto departs = MinuteOf(placement.date + " " + choice.train.startTime);
    if (!departs) return {};
    earliest = earliest ? std::min(*earliest, *departs) : *departs;
  }
  return earliest ? MomentText(*earliest - 120) : std::string();
}

}  // namespace quillet
