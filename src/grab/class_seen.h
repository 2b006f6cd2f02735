#pragma once
// What a pass of queries saw for each wanted seat class: the best ticket text
// over the wish's trains and dates, with the train and date that showed it.
#include <string>
#include <vector>

#include "booking/records.h"
#include "grab/grab_events.h"

namespace quillet {

class ClassesSeen {
 public:
  ClassesSeen(std::vector<std::string> seatCodes, std::vector<std::string> trains);
  // A query's answer for `date`: only the trains the wish names (all when it names none) count.
  void Answered(const std::string& date, const std::vector<TrainRecord>& answer);
  // One entry per seat class, in the wish's order; an empty `tickets` where no train showed the class.
  std::vector<ClassSeen> Best() const { return best_; }

 private:
  std::vector<std::string> trains_;
  std::vector<ClassSeen> best_;
};

}  // namespace quillet
