#include "seat_plan.h"

#include <algorithm>
#include <cstdio>

namespace quillet::sim {

namespace {

struct AskedSeat {
  int row = 0;  // 1, 2 ... within the party
  char letter = 0;
};

// choose_seats read leniently: a text that is not row digit + letter pairs
// asks for nothing.
std::vector<AskedSeat> ReadChooseSeats(const std::string& text) {
  std::vector<AskedSeat> asked;
  if (text.size() % 2 != 0) return {};
  for (std::size_t i = 0; i < text.size(); i += 2) {
    if (text[i] < '1' || text[i] > '9' || text[i + 1] < 'A' || text[i + 1] > 'Z') return {};
    asked.push_back({text[i] - '0', text[i + 1]});
  }
  return asked;
}

// seatDetailType as the berth asked of each passenger in order; a text that
// is not three digits asks for nothing.
std::vector<std::string> ReadSeatDetailType(const std::string& text) {
  static const char* const kOrder[] = {"下铺", "中铺", "上铺"};
  std::vector<std::string> asked;
  if (text.size() != 3) return {};
  for (std::size_t k = 0; k < 3; ++k) {
    if (text[k] < '0' || text[k] > '9') return {};
    asked.insert(asked.end(), static_cast<std::size_t>(text[k] - '0'), kOrder[k]);
  }
  return asked;
}

std::string Pick(Rng& rng, const std::vector<std::string>& from) { return from[rng.Below(from.size())]; }

}  // namespace

std::string PositionLetters(const std::string& seatCode) {
  if (seatCode == "9") return "ACF";
  if (seatCode == "M") return "ACDF";
  if (seatCode == "O") return "ABCDF";
  return {};
}

std::vector<std::string> BerthNames(const std::string& seatCode) {
  if (seatCode == "3") return {"上铺", "中铺", "下铺"};
  if (seatCode == "4" || seatCode == "5" || seatCode == "6" || seatCode == "A") return {"上铺", "下铺"};
  return {};
}

std::vector<GivenSeat> AssignSeats(Rng& rng, const std::string& seatCode, const std::string& chooseSeats,
                                   const std::string& seatDetailType, std::size_t partySize, const TakenPlaces& taken) {
  std::vector<GivenSeat> seats(partySize);
  char buf[80];
  const std::string letters = PositionLetters(seatCode);
  const std::vector<std::string> berths = BerthNames(seatCode);
  if (!letters.empty()) {
    std::vector<std::string> free;
    for (const char letter : letters) {
      if (taken.positions.count(std::string(1, letter)) == 0) free.emplace_back(1, letter);
    }
    std::vector<std::string> any;
    for (const char letter : letters) any.emplace_back(1, letter);
    const std::vector<AskedSeat> asked = ReadChooseSeats(chooseSeats);
    const int firstRow = rng.Between(1, 16);
    for (std::size_t k = 0; k < partySize; ++k) {
      std::string letter;
      int row = firstRow + static_cast<int>(k);
      if (k < asked.size()) {
        row = firstRow + asked[k].row - 1;
        const std::string wanted(1, asked[k].letter);
        if (letters.find(asked[k].letter) != std::string::npos && taken.positions.count(wanted) == 0) letter = wanted;
      }
      if (letter.empty()) letter = Pick(rng, free.empty() ? any : free);
      std::snprintf(buf, sizeof buf, "%02d%s号", row, letter.c_str());
      seats[k] = {buf, letter, {}};
    }
    return seats;
  }
  if (!berths.empty()) {
    std::vector<std::string> free;
    for (const std::string& berth : berths) {
      if (taken.berths.count(berth) == 0) free.push_back(berth);
    }
    const std::vector<std::string> asked = ReadSeatDetailType(seatDetailType);
    const int firstBed = rng.Between(1, 30);
    for (std::size_t k = 0; k < partySize; ++k) {
      std::string berth;
      if (k < asked.size()) {
        const bool offered = std::find(berths.begin(), berths.end(), asked[k]) != berths.end();
        if (offered && taken.berths.count(asked[k]) == 0) berth = asked[k];
      }
      if (berth.empty()) berth = Pick(rng, free.empty() ? berths : free);
      std::snprintf(buf, sizeof buf, "%02d号", firstBed + static_cast<int>(k));
      seats[k] = {std::string(buf) + berth, {}, berth};
    }
    return seats;
  }
  for (std::size_t k = 0; k < partySize; ++k) {
    if (seatCode == "W") {
      seats[k].seatName = "无座";
    } else {
      std::snprintf(buf, sizeof buf, "%03d号", rng.Between(1, 118));
      seats[k].seatName = buf;
    }
  }
  return seats;
}

}  // namespace quillet::sim
