// Reading and checking grab plans: what a good plan becomes, and each error
// with its line.
#include "cli/plan_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../grab/gbk.h"
#include "cli/plan_sale_openings.h"
#include "cli/plan_summary.h"
#include "cli/plan_wishes.h"
#include "util/china_moment.h"

namespace quillet::cli {
namespace {

using namespace std::chrono;
using test::G;

// A fixed "today" so that the date checks do not depend on the clock.
const sys_days kToday = sys_days(year(2026) / December / 10);

const StationDirectory& Stations() {
  static const StationDirectory directory = [] {
    StationDirectory d;
    d.LoadStations();
    return d;
  }();
  return directory;
}

PlanReading Read(const std::string& text, const std::string& path = "/plans/trip.toml") {
  return ReadPlanText(text, path, Stations(), kToday);
}

const char kGoodWish[] = R"([[wish]]
from = "北京"
to = "shanghaihongqiao"
dates = ["2026-12-20", 2026-12-10, "2027-01-08"]
trains = ["g101", "G103"]
passengers = ["张伟", "李娜"]
ticket_type = "学生票"
seats = ["二等座", "一等座", "硬卧"]
)";

TEST(PlanReader, AGoodPlanBecomesAPlanInProgramText) {
  const PlanReading reading =
      Read("service = \"http://127.0.0.1:8080/\"\naccount = \"demo\"\n\n" + std::string(kGoodWish) +
           "\n[[wish]]\nfrom = \"VNP\"\nto = \"shq\"\n"
           "dates = [\"2026-12-11\"]\npassengers = [\"王晓明\"]\nticket_type = \"成人票\"\n"
           "seats = [\"商务座\"]\n");
  ASSERT_TRUE(reading.Ok()) << DescribePlanError(reading.errors[0]);
  const Plan& plan = reading.plan;
  EXPECT_EQ(plan.service, "http://127.0.0.1:8080");
  EXPECT_EQ(plan.account, "demo");
  EXPECT_TRUE(plan.caFile.empty());
  EXPECT_EQ(plan.signIn, SignInMethod::kCaptcha);
  ASSERT_EQ(plan.wishes.size(), 2u);
  const PlanWish& wish = plan.wishes[0];
  EXPECT_EQ(wish.line, 4);
  EXPECT_EQ(wish.from.name, G(u8"北京"));
  EXPECT_EQ(wish.from.telecode, "BJP");
  EXPECT_EQ(wish.to.name, G(u8"上海虹桥"));
  EXPECT_EQ(wish.to.telecode, "AOH");
  EXPECT_EQ(wish.dates, (std::vector<std::string>{"2026-12-20", "2026-12-10", "2027-01-08"}));
  EXPECT_EQ(wish.trains, (std::vector<std::string>{"G101", "G103"}));
  EXPECT_EQ(wish.passengers, (std::vector<std::string>{G(u8"张伟"), G(u8"李娜")}));
  EXPECT_EQ(wish.ticketTypeName, G(u8"学生票"));
  EXPECT_EQ(wish.ticketType, "3");
  ASSERT_EQ(wish.seats.size(), 3u);
  EXPECT_EQ(wish.seats[0].name, G(u8"二等座"));
  EXPECT_EQ(wish.seats[0].code, "O");
  EXPECT_EQ(wish.seats[1].code, "M");
  EXPECT_EQ(wish.seats[2].code, "3");
  const PlanWish& second = plan.wishes[1];
  EXPECT_EQ(second.from.name, G(u8"北京南"));
  EXPECT_EQ(second.to.telecode, "AOH");
  EXPECT_TRUE(second.trains.empty());
  EXPECT_EQ(second.ticketType, "1");
  EXPECT_EQ(second.seats[0].code, "9");

  EXPECT_EQ(Read("account = \"demo\"\n" + std::string(kGoodWish)).plan.service, "https://kyfw.12306.cn");
}

TEST(PlanReader, EachErrorNamesTheFileTheLineAndTheProblem) {
  struct Case {
    const char* name;
    std::string plan;
    int line;
    const char* says;
  };
  const std::string account = "account = \"demo\"\n";
  // Replaces the wish line that starts with `key =` (line 3 + its index).
  const auto wishWith = [&](const std::string& key, const std::string& line) {
    std::string wish = kGoodWish;
    const std::size_t at = wish.find("\n" + key + " =");
    const std::size_t end = wish.find('\n', at + 1);
    return account + wish.substr(0, at + 1) + line + wish.substr(end);
  };
  const Case cases[] = {
      {"not TOML", account + "[[wish]\n", 2, "not valid TOML"},
      // Found by fuzzing: the TOML library must never see these (undefined
      // behaviour in its check for non-ASCII blanks).
      {"character beyond ASCII after a value", account + "dates = [2024-12-2\xCA\xA2]\n", 2, "beyond ASCII"},
      {"ideographic letter as a key", account + "\xE5\x87\xBA = 1\n", 2, "beyond ASCII"},
      {"bytes that are not UTF-8", account + "# \xFF\n", 2, "not UTF-8"},
      {"unknown top key", account + "acount = \"x\"\n" + kGoodWish, 2, "unknown key \"acount\""},
      {"unknown wish key", account + kGoodWish + "seat = [\"二等座\"]\n", 10, "wish 1: unknown key \"seat\""},
      {"no account", kGoodWish, 1, "missing key \"account\""},
      {"unknown sign-in", account + "sign_in = \"password\"\n" + kGoodWish, 2, "sign_in must be \"captcha\" or \"qr\""},
      {"sign-in not a text", account + "sign_in = true\n" + kGoodWish, 2, "sign_in must be a text"},
      {"no wish", account, 1, "missing key \"wish\""},
      {"wish not a table list", account + "wish = 3\n", 2, "[[wish]] tables"},
      {"missing seats",
       account + "[[wish]]\nfrom = \"北京\"\nto = \"上海\"\ndates = [\"2026-12-20\"]\n"
                 "passengers = [\"张伟\"]\nticket_type = \"成人票\"\n",
       2, "missing key \"seats\""},
      {"no such station", wishWith("from", "from = \"火星\""), 3, "from: no station is called \"火星\""},
      {"several stations", wishWith("from", "from = \"zzd\""), 3,
       "\"zzd\" names several stations: 漳州东 (GOS), 涿州东 (ZAP)"},
      {"same station", wishWith("to", "to = \"BJP\""), 3, "from and to are the same station, 北京"},
      {"lower-case code and telecode", wishWith("to", "to = \"bjp\""), 4,
       "\"bjp\" names several stations: 北京 (BJP), 白鸡坡 (BBM)"},
      {"station not a text", wishWith("to", "to = 7"), 4, "to must be a text"},
      {"date before today", wishWith("dates", "dates = [\"2026-12-09\"]"), 5,
       "2026-12-09 is outside the days on sale, 2026-12-10 to 2027-01-08"},
      {"date after the sale window", wishWith("dates", "dates = [\"2026-12-20\", \"2027-01-09\"]"), 5,
       "2027-01-09 is outside"},
      {"not a date", wishWith("dates", "dates = [\"20.12.2026\"]"), 5, "\"20.12.2026\" is not a date"},
      {"no date", wishWith("dates", "dates = []"), 5, "dates must be a list of one or more dates"},
      {"date twice", wishWith("dates", "dates = [\"2026-12-20\", 2026-12-20]"), 5, "2026-12-20 is named twice"},
      {"bad train", wishWith("trains", "trains = [\"G 1\"]"), 6, "\"G 1\" is not a train code"},
      {"train twice", wishWith("trains", "trains = [\"G1\", \"G1\"]"), 6, "names \"G1\" twice"},
      {"no passenger", wishWith("passengers", "passengers = []"), 7, "passengers must not be empty"},
      {"six passengers", wishWith("passengers", "passengers = [\"a\", \"b\", \"c\", \"d\", \"e\", \"f\"]"), 7,
       "6 names, but one order holds at most 5"},
      {"passenger twice", wishWith("passengers", "passengers = [\"张伟\", \"张伟\"]"), 7, "\"张伟\" is named twice"},
      {"six passengers, one twice", wishWith("passengers", "passengers = [\"a\", \"b\", \"c\", \"d\", \"e\", \"a\"]"),
       7, "passengers: 6 names, but one order holds at most 5; \"a\" is named twice"},
      {"letter O for a zero", wishWith("trains", "trains = [\"G7O29\"]"), 6,
       "\"G7O29\" is not a train code; did you mean G7029?"},
      {"five digits", wishWith("trains", "trains = [\"G10101\"]"), 6, "\"G10101\" is not a train code such as G101"},
      {"a kind the service has not", wishWith("trains", "trains = [\"X101\"]"), 6, "\"X101\" is not a train code"},
      {"a password", "password = \"demo1234\"\n" + account + kGoodWish, 1,
       "the password comes from QUILLET_PASSWORD or is asked for on the terminal, never from the plan"},
      {"unclosed string", "account = \"demo\ncolour = 1\n", 1, "a string in \"...\" is not closed on its line"},
      {"unclosed string at the end", account + "x = \"abc", 2, "is not closed on its line"},
      {"unclosed literal string", account + "x = 'abc\n", 2, "a string in '...' is not closed on its line"},
      {"unclosed multi-line string", account + "x = \"\"\"abc\n\ndef\n", 2, "is never closed"},
      {"day counted from today too far", wishWith("dates", "dates = [\"today+30\"]"), 5,
       "2027-01-09 is outside the days on sale"},
      {"passenger not a text", wishWith("passengers", "passengers = [\"张伟\", 3]"), 7, "texts in quotes only"},
      {"ticket type", wishWith("ticket_type", "ticket_type = \"老人票\""), 8,
       "\"老人票\" is not one of 成人票, 儿童票, 学生票, 残军票"},
      {"seat class", wishWith("seats", "seats = [\"二等座\", \"站票\"]"), 9, "\"站票\" is not a seat class"},
      {"standing", wishWith("seats", "seats = [\"无座\"]"), 9, "\"无座\" cannot be ordered"},
      {"no seat", wishWith("seats", "seats = []"), 9, "seats must not be empty"},
      {"service scheme", "service = \"ftp://x\"\n" + account + kGoodWish, 1, "beginning with https://"},
      {"start_at form", account + kGoodWish + "start_at = \"2026-12-06 8:00\"\n", 10,
       "wish 1: start_at: \"2026-12-06 8:00\" is not a moment written as \"YYYY-MM-DD HH:MM:SS\""},
      {"start_at no such day", account + kGoodWish + "start_at = \"2026-02-30 08:00:00\"\n", 10, "is not a moment"},
      {"start_at with an offset", account + kGoodWish + "start_at = 2026-12-06T08:00:00Z\n", 10, "is not a moment"},
      // Moments outside the clock's range once wrapped round to other years.
      {"start_at long ago", account + kGoodWish + "start_at = \"1013-12-11 08:00:00\"\n", 10,
       "in the years 2000 to 2099"},
      {"start_at far ahead", account + kGoodWish + "start_at = 2300-01-01 08:00:00\n", 10, "in the years 2000 to 2099"},
      {"start_at just before 2000", account + kGoodWish + "start_at = \"1999-12-31 23:59:59.999\"\n", 10,
       "is not a moment"},
      {"depart without a dash", account + kGoodWish + "depart = \"07:00\"\n", 10,
       "wish 1: depart: \"07:00\" is not a time window such as \"07:00-21:00\""},
      {"arrive with no bound", account + kGoodWish + "arrive = \"-\"\n", 10, "is not a time window"},
      {"depart hour 24", account + kGoodWish + "depart = \"07:00-24:00\"\n", 10,
       "\"07:00-24:00\" holds a time that is not HH:MM"},
      {"arrive in hours only", account + kGoodWish + "arrive = \"-8\"\n", 10, "holds a time that is not HH:MM"},
      {"depart not a text", account + kGoodWish + "depart = 7\n", 10, "depart must be a text"},
      {"unknown order", account + kGoodWish + "order = \"price\"\n", 10, "\"price\" is not an order"},
      {"order with trains named", account + kGoodWish + "order = \"arrival\"\n", 10,
       "order: orders trains that are not named"},
      {"a station twice in a list", wishWith("from", "from = [\"北京\", \"BJP\"]"), 3, "from: 北京 is named twice"},
      {"an empty station list", wishWith("to", "to = []"), 4, "to must not be empty"},
      {"only pairs of one station", wishWith("to", "to = [\"BJP\"]"), 3, "from and to are the same station, 北京"},
      {"passenger table without a name", wishWith("passengers", "passengers = [{ticket = \"儿童票\"}]"), 7,
       "passengers: a passenger written as a table needs its name"},
      {"passenger table with an unknown ticket",
       wishWith("passengers", "passengers = [{name = \"张伟\", ticket = \"老人票\"}]"), 7,
       "passengers: ticket: \"老人票\" is not one of 成人票, 儿童票, 学生票, 残军票"},
      {"passenger table with an unknown key", wishWith("passengers", "passengers = [{name = \"张伟\", seat = \"A\"}]"),
       7, "passengers: unknown key \"seat\""},
      {"waitlist not a truth value", account + kGoodWish + "waitlist = \"yes\"\n", 10,
       "wish 1: waitlist: must be true or false"},
      {"waitlist deadline form", account + kGoodWish + "waitlist = true\nwaitlist_deadline = \"2026-12-20 6:00\"\n", 11,
       "wish 1: waitlist_deadline: \"2026-12-20 6:00\" is not a moment written as \"YYYY-MM-DD HH:MM\""},
      {"waitlist deadline no such day", account + kGoodWish + "waitlist_deadline = \"2026-02-30 06:00\"\n", 10,
       "is not a moment"},
      {"missing ca file", "ca_file = \"nowhere.pem\"\n" + account + kGoodWish, 1,
       "ca_file \"/plans/nowhere.pem\" is not a file"},
  };
  for (const Case& c : cases) {
    const PlanReading reading = Read(c.plan);
    ASSERT_EQ(reading.errors.size(), 1u) << c.name << ": "
                                         << (reading.errors.empty() ? "" : DescribePlanError(reading.errors.back()));
    const PlanError& error = reading.errors[0];
    EXPECT_EQ(error.file, "/plans/trip.toml") << c.name;
    EXPECT_EQ(error.line, c.line) << c.name << ": " << error.message;
    EXPECT_NE(error.message.find(c.says), std::string::npos) << c.name << ": " << error.message;
  }
}

// start_at is China Standard Time whatever the machine's zone; past moments
// are allowed (the wish starts at once).
TEST(PlanReader, WhatAPersonWritesIsReadAsMeant) {
  std::string wish = kGoodWish;
  wish.replace(wish.find("\"2026-12-20\""), std::string("\"2026-12-20\"").size(), "\"today+10\", \"today\"");
  wish.replace(wish.find(", 2026-12-10"), std::string(", 2026-12-10").size(), "");
  // A byte order mark from an editor, train codes in lower case.
  const PlanReading reading = Read(
      "\xEF\xBB\xBF"
      "account = \"demo\"\n" +
      wish);
  ASSERT_TRUE(reading.Ok()) << DescribePlanError(reading.errors[0]);
  EXPECT_EQ(reading.plan.wishes[0].dates, (std::vector<std::string>{"2026-12-20", "2026-12-10", "2027-01-08"}));
  EXPECT_EQ(reading.plan.wishes[0].trains, (std::vector<std::string>{"G101", "G103"}));
  EXPECT_EQ(reading.plan.wishes[0].line, 2);
}

TEST(PlanReader, EachEndMayNameSeveralStationsInOrder) {
  std::string wish = kGoodWish;
  wish.replace(wish.find("from = \"北京\""), std::string("from = \"北京\"").size(), "from = [\"北京南\", \"北京\"]");
  wish.replace(wish.find("to = \"shanghaihongqiao\""), std::string("to = \"shanghaihongqiao\"").size(),
               "to = [\"上海虹桥\", \"北京\"]");
  const PlanReading reading = Read("account = \"demo\"\n" + wish);
  ASSERT_TRUE(reading.Ok()) << DescribePlanError(reading.errors[0]);
  const PlanWish& read = reading.plan.wishes[0];
  ASSERT_EQ(read.fromStations.size(), 2u);
  EXPECT_EQ(read.fromStations[1].telecode, "BJP");
  EXPECT_EQ(read.from.telecode, "VNP");
  EXPECT_EQ(read.to.telecode, "AOH");
  // Beijing to Beijing is left out of the pairs.
  const std::string summary = DescribePlan(reading.plan);
  EXPECT_NE(summary.find("VNP-AOH, VNP-BJP, BJP-AOH\n"), std::string::npos) << summary;
  const PlanWishes wishes = WishesForPlan(reading.plan, {});
  ASSERT_EQ(wishes.wishes[0].stationPairs.size(), 3u);
  EXPECT_EQ(wishes.wishes[0].stationPairs[2].from.telecode, "BJP");
  EXPECT_EQ(wishes.wishes[0].stationPairs[2].to.telecode, "AOH");
}

TEST(PlanReader, EachPassengerMayHaveATicketTypeOfItsOwn) {
  std::string wish = kGoodWish;
  wish.replace(
      wish.find("passengers = "), std::string("passengers = [\"张伟\", \"李娜\"]").size(),
      "passengers = [{name = \"张伟\", ticket = \"成人票\"}, \"李娜\", {name = \"张小明\", ticket = \"儿童票\"}]");
  const PlanReading reading = Read("account = \"demo\"\n" + wish);
  ASSERT_TRUE(reading.Ok()) << DescribePlanError(reading.errors[0]);
  const PlanWish& read = reading.plan.wishes[0];
  EXPECT_EQ(read.passengers, (std::vector<std::string>{G(u8"张伟"), G(u8"李娜"), G(u8"张小明")}));
  ASSERT_EQ(read.passengerTickets.size(), 3u);
  EXPECT_EQ(read.passengerTickets[0].second, "1");
  EXPECT_EQ(read.passengerTickets[1].second, "3") << "ticket_type for a passenger written by name";
  EXPECT_EQ(read.passengerTickets[2], std::pair(G(u8"儿童票"), std::string("2")));

  // Without ticket_type every passenger travels on an adult ticket.
  std::string noType = kGoodWish;
  noType.erase(noType.find("ticket_type = "), std::string("ticket_type = \"学生票\"\n").size());
  const PlanReading adults = Read("account = \"demo\"\n" + noType);
  ASSERT_TRUE(adults.Ok()) << DescribePlanError(adults.errors[0]);
  EXPECT_EQ(adults.plan.wishes[0].ticketType, "1");
}

TEST(PlanWishes, TicketTypesTheAccountsPassengersMayNotUseAreNamed) {
  std::string wish = kGoodWish;
  wish.replace(
      wish.find("passengers = "), std::string("passengers = [\"张伟\", \"李娜\"]").size(),
      "passengers = [\"张伟\", {name = \"李娜\", ticket = \"成人票\"}, {name = \"王晓明\", ticket = \"儿童票\"}]");
  const PlanReading reading = Read("account = \"demo\"\n" + wish);
  ASSERT_TRUE(reading.Ok()) << DescribePlanError(reading.errors[0]);
  const auto record = [](std::u8string_view name, const char* type, std::u8string_view typeName) {
    PassengerRecord p;
    p.passenger_name = G(name);
    p.passenger_type = type;
    p.passenger_type_name = G(typeName);
    p.passenger_id_type_code = "1";
    p.passenger_id_no = "110";
    return p;
  };
  const std::vector<PassengerRecord> account = {record(u8"张伟", "1", u8"成人"), record(u8"李娜", "3", u8"学生"),
                                                record(u8"王晓明", "3", u8"学生")};
  const PlanWishes wishes = WishesForPlan(reading.plan, account);
  ASSERT_EQ(wishes.ticketProblems.size(), 1u);
  EXPECT_EQ(wishes.ticketProblems[0], "wish 1: 张伟 cannot travel on a 学生票: the account lists them as 成人");
  EXPECT_FALSE(wishes.Ok());
  ASSERT_EQ(wishes.wishes[0].passengers.size(), 3u);
  EXPECT_EQ(wishes.wishes[0].passengers[1].ticketType, "1") << "an adult ticket for a student is allowed";
  EXPECT_EQ(wishes.wishes[0].passengers[2].ticketType, "2");
}

TEST(PlanReader, TimeWindowsLimitTrainsAndOrderTheUnnamedOnes) {
  std::string wish = kGoodWish;
  wish.erase(wish.find("trains = "), std::string("trains = [\"g101\", \"G103\"]\n").size());
  struct Case {
    std::string keys;
    std::optional<int> departFrom, departTo, arriveFrom, arriveTo;
    TrainOrder order;
  };
  const Case cases[] = {
      {"", {}, {}, {}, {}, TrainOrder::kAnswer},
      {"depart = \"07:00-21:00\"\n", 420, 1260, {}, {}, TrainOrder::kDeparture},
      {"arrive = \"-22:30\"\norder = \"duration\"\n", {}, {}, {}, 1350, TrainOrder::kDuration},
      {"depart = \" 22:00 - 02:00 \"\narrive = \"06:00-\"\n", 1320, 120, 360, {}, TrainOrder::kDeparture},
      {"order = \"arrival\"\n", {}, {}, {}, {}, TrainOrder::kArrival},
  };
  for (const Case& c : cases) {
    const PlanReading reading = Read("account = \"demo\"\n" + wish + c.keys);
    ASSERT_TRUE(reading.Ok()) << c.keys << ": " << DescribePlanError(reading.errors[0]);
    const TrainTimes& times = reading.plan.wishes[0].times;
    EXPECT_EQ(times.depart.from, c.departFrom) << c.keys;
    EXPECT_EQ(times.depart.to, c.departTo) << c.keys;
    EXPECT_EQ(times.arrive.from, c.arriveFrom) << c.keys;
    EXPECT_EQ(times.arrive.to, c.arriveTo) << c.keys;
    EXPECT_EQ(times.order, c.order) << c.keys;
  }
  const PlanReading windowed = Read("account = \"demo\"\n" + wish + "depart = \"07:00-21:00\"\n");
  const std::string summary = DescribePlan(windowed.plan);
  EXPECT_NE(summary.find("  depart       07:00-21:00\n"), std::string::npos) << summary;
  EXPECT_NE(summary.find("  order        departure\n"), std::string::npos) << summary;
}

// [[account]] tables, each with its own wishes; the single form is one account.
TEST(PlanReader, SeveralAccountsEachWithTheirOwnWishes) {
  std::string accountWish = kGoodWish;
  accountWish.replace(0, 8, "[[account.wish]]");
  const PlanReading reading = Read("sign_in = \"qr\"\n[[account]]\nname = \"demo\"\n" + accountWish + accountWish +
                                   "\n[[account]]\nname = \"李四\"\nsign_in = \"captcha\"\n" + accountWish);
  ASSERT_TRUE(reading.Ok()) << DescribePlanError(reading.errors.front());
  const Plan& plan = reading.plan;
  EXPECT_TRUE(plan.accountTables);
  ASSERT_EQ(plan.accounts.size(), 2u);
  EXPECT_EQ(plan.accounts[0].name, "demo");
  EXPECT_EQ(plan.accounts[0].signIn, SignInMethod::kQr) << "the plan's sign_in is the default";
  EXPECT_EQ(plan.accounts[0].wishes.size(), 2u);
  EXPECT_EQ(plan.accounts[1].name, G(u8"李四"));
  EXPECT_EQ(plan.accounts[1].signIn, SignInMethod::kCaptcha);
  EXPECT_EQ(plan.accounts[1].wishes.size(), 1u);
  EXPECT_EQ(plan.accounts[1].line, 21);
  const Plan second = PlanOfAccount(plan, 1);
  EXPECT_EQ(second.account, G(u8"李四"));
  EXPECT_EQ(second.wishes.size(), 1u);

  const PlanReading single = Read("account = \"demo\"\n" + std::string(kGoodWish));
  ASSERT_TRUE(single.Ok());
  EXPECT_FALSE(single.plan.accountTables);
  ASSERT_EQ(single.plan.accounts.size(), 1u);
  EXPECT_EQ(single.plan.accounts[0].name, "demo");
  EXPECT_EQ(single.plan.accounts[0].wishes.size(), 1u);

  struct Case {
    const char* name;
    std::string plan;
    int line;
    const char* says;
  };
  const std::string demo = "[[account]]\nname = \"demo\"\n";
  const Case cases[] = {
      {"a wish outside its account", demo + accountWish + kGoodWish, 11, "belongs to its account"},
      {"an account named twice", demo + accountWish + demo + accountWish, 11, "named twice"},
      {"an account without a name", "[[account]]\n" + accountWish, 1, "missing key \"name\""},
      {"an account without wishes", demo, 1, "missing key \"wish\""},
      {"no wish at all in the single form", "account = \"demo\"\n", 1, "missing key \"wish\""},
  };
  for (const Case& c : cases) {
    const PlanReading bad = Read(c.plan);
    ASSERT_EQ(bad.errors.size(), 1u) << c.name << ": " << (bad.errors.empty() ? "" : bad.errors[0].message);
    EXPECT_EQ(bad.errors[0].line, c.line) << c.name << ": " << bad.errors[0].message;
    EXPECT_NE(bad.errors[0].message.find(c.says), std::string::npos) << c.name << ": " << bad.errors[0].message;
  }
}

TEST(PlanReader, AFleetNamesItsRedisAndItsName) {
  const PlanReading reading = Read(
      "account = \"demo\"\n[fleet]\nredis = \"redis://:pw@10.0.0.5:6380/2\"\nname = \"spring-2027\"\n"
      "source_address = \"10.0.0.7\"\n" +
      std::string(kGoodWish));
  ASSERT_TRUE(reading.Ok()) << DescribePlanError(reading.errors.front());
  EXPECT_EQ(reading.plan.fleet.redis, "redis://:pw@10.0.0.5:6380/2");
  EXPECT_EQ(reading.plan.fleet.name, "spring-2027");
  EXPECT_EQ(reading.plan.fleet.sourceAddress, "10.0.0.7");
  EXPECT_TRUE(Read("account = \"demo\"\n" + std::string(kGoodWish)).plan.fleet.redis.empty());

  struct Case {
    const char* name;
    const char* fleet;
    const char* says;
  };
  const Case cases[] = {
      {"not a table", "fleet = \"redis://r\"\n", "[fleet] table"},
      {"another scheme", "[fleet]\nredis = \"http://r\"\nname = \"x\"\n", "redis://"},
      {"TLS", "[fleet]\nredis = \"rediss://r\"\nname = \"x\"\n", "tunnel"},
      {"a name with a colon", "[fleet]\nredis = \"redis://r\"\nname = \"a:b\"\n", "without spaces or colons"},
      {"no name", "[fleet]\nredis = \"redis://r\"\n", "missing key \"name\""},
      {"an unknown key", "[fleet]\nname = \"x\"\nport = 1\n", "unknown key \"port\""},
  };
  for (const Case& c : cases) {
    const PlanReading bad = Read("account = \"demo\"\n" + std::string(c.fleet) + kGoodWish);
    ASSERT_EQ(bad.errors.size(), 1u) << c.name << ": " << (bad.errors.empty() ? "" : bad.errors[0].message);
    EXPECT_NE(bad.errors[0].message.find(c.says), std::string::npos) << c.name << ": " << bad.errors[0].message;
  }
}

TEST(PlanReader, SignInIsByCaptchaOrByQrCode) {
  for (const auto& [text, method] :
       {std::pair{"captcha", SignInMethod::kCaptcha}, std::pair{"qr", SignInMethod::kQr}}) {
    const PlanReading reading =
        Read("account = \"demo\"\nsign_in = \"" + std::string(text) + "\"\n" + std::string(kGoodWish));
    ASSERT_TRUE(reading.Ok()) << DescribePlanError(reading.errors[0]);
    EXPECT_EQ(reading.plan.signIn, method) << text;
    EXPECT_EQ(DescribePlan(reading.plan).find("qr") != std::string::npos, method == SignInMethod::kQr) << text;
  }
}

TEST(PlanReader, AWishMayAskForAWaitlistOrderWithADeadline) {
  const PlanReading reading = Read("account = \"demo\"\n" + std::string(kGoodWish) +
                                   "waitlist = true\nwaitlist_deadline = \"2026-12-20 06:00\"\n" + kGoodWish);
  ASSERT_TRUE(reading.Ok()) << DescribePlanError(reading.errors[0]);
  EXPECT_TRUE(reading.plan.wishes[0].waitlist);
  EXPECT_EQ(reading.plan.wishes[0].waitlistDeadline, "2026-12-20 06:00");
  EXPECT_FALSE(reading.plan.wishes[1].waitlist);
  EXPECT_EQ(reading.plan.wishes[1].waitlistDeadline, "");
  EXPECT_NE(DescribePlan(reading.plan).find("2026-12-20 06:00"), std::string::npos) << DescribePlan(reading.plan);
}

TEST(PlanReader, ServiceHoursAndTheQueryBudget) {
  const PlanReading defaults = Read("account = \"demo\"\n" + std::string(kGoodWish));
  ASSERT_TRUE(defaults.Ok());
  EXPECT_EQ(ServiceHoursText(defaults.plan.serviceHours), "05:00-01:00");
  EXPECT_EQ(defaults.plan.maxQueriesPerSecond, 5);
  struct Case {
    const char* lines;
    const char* hours;  // nullptr: refused
    double budget;
  };
  const Case cases[] = {
      {"service_hours = \"06:00-23:30\"\nmax_queries_per_second = 3\n", "06:00-23:30", 3},
      {"service_hours = \"05:00-01:00\"\nmax_queries_per_second = 0.5\n", "05:00-01:00", 0.5},
      {"service_hours = \"6:00-23:30\"\n", nullptr, 0},
      {"service_hours = 6\n", nullptr, 0},
      {"max_queries_per_second = 0\n", nullptr, 0},
      {"max_queries_per_second = \"5\"\n", nullptr, 0},
      {"max_queries_per_second = 1000\n", nullptr, 0},
  };
  for (const Case& c : cases) {
    const PlanReading reading = Read("account = \"demo\"\n" + std::string(c.lines) + kGoodWish);
    ASSERT_EQ(reading.Ok(), c.hours != nullptr) << c.lines;
    if (c.hours == nullptr) continue;
    EXPECT_EQ(ServiceHoursText(reading.plan.serviceHours), c.hours);
    EXPECT_EQ(reading.plan.maxQueriesPerSecond, c.budget);
  }
}

TEST(PlanReader, StartAtIsAMomentInChinaStandardTime) {
  const std::pair<std::string, long long> cases[] = {
      {"\"2026-12-06 08:00:00\"", 1'796'515'200'000LL},
      {"\"2026-12-06 08:00:00.250\"", 1'796'515'200'250LL},
      {"\"2026-12-06 08:00:00.5\"", 1'796'515'200'500LL},
      {"2026-12-06 08:00:00.125", 1'796'515'200'125LL},  // a TOML local date-time
      {"\"2020-01-01 00:00:00\"", 1'577'808'000'000LL},
      {"\"2000-01-01 00:00:00\"", 946'656'000'000LL},        // the first moment read ...
      {"\"2099-12-31 23:59:59.999\"", 4'102'415'999'999LL},  // ... and the last
  };
  for (const auto& [value, unixMs] : cases) {
    const PlanReading reading = Read("account = \"demo\"\n" + std::string(kGoodWish) + "start_at = " + value + "\n");
    ASSERT_TRUE(reading.Ok()) << value << ": " << DescribePlanError(reading.errors[0]);
    ASSERT_TRUE(reading.plan.wishes[0].startAt) << value;
    EXPECT_EQ(duration_cast<milliseconds>(reading.plan.wishes[0].startAt->time_since_epoch()).count(), unixMs) << value;
  }
  EXPECT_FALSE(Read("account = \"demo\"\n" + std::string(kGoodWish)).plan.wishes[0].startAt);
}

TEST(PlanReader, SeatPositionsAndBerthsAreAskedOnePerPassenger) {
  const PlanReading reading = Read("account = \"demo\"\n" + std::string(kGoodWish) +
                                   "seat_positions = [\"F\", \"F\"]\nberths = [\"下铺\", \"中铺\"]\n");
  ASSERT_TRUE(reading.Ok()) << DescribePlanError(reading.errors[0]);
  const PlanWish& wish = reading.plan.wishes[0];
  EXPECT_EQ(wish.seatPositions, (std::vector<SeatPosition>{SeatPosition::kF, SeatPosition::kF}));
  EXPECT_EQ(wish.berths, (std::vector<Berth>{Berth::kLower, Berth::kMiddle}));
  const std::string summary = DescribePlan(reading.plan);
  EXPECT_NE(summary.find("  seat_positions F, F\n"), std::string::npos) << summary;
  EXPECT_NE(summary.find("  berths       下铺, 中铺\n"), std::string::npos) << summary;
  // Fewer than the party: the others sit anywhere.
  const PlanReading one = Read("account = \"demo\"\n" + std::string(kGoodWish) + "seat_positions = [\"A\"]\n");
  ASSERT_TRUE(one.Ok()) << DescribePlanError(one.errors[0]);
  EXPECT_EQ(one.plan.wishes[0].seatPositions, std::vector<SeatPosition>{SeatPosition::kA});
  EXPECT_TRUE(one.plan.wishes[0].berths.empty());

  // The wish made by the plan carries them to the order.
  std::vector<PassengerRecord> account(2);
  for (std::size_t i = 0; i < account.size(); ++i) {
    account[i].passenger_name = G(i == 0 ? u8"张伟" : u8"李娜");
    account[i].passenger_type = "3";
    account[i].passenger_id_type_code = "1";
    account[i].passenger_id_no = std::to_string(i);
  }
  const PlanWishes wishes = WishesForPlan(reading.plan, account);
  ASSERT_EQ(wishes.wishes.size(), 1u);
  EXPECT_EQ(wishes.wishes[0].seatPositions, wish.seatPositions);
  EXPECT_EQ(wishes.wishes[0].berths, wish.berths);
}

TEST(PlanReader, SeatPositionsAndBerthsThatCannotBeMetAreErrorsWithTheirLine) {
  struct Case {
    std::string seats;  // the wish's seats line
    std::string keys;   // from line 10
    int line;
    const char* says;
  };
  const std::string goodSeats = "seats = [\"二等座\", \"一等座\", \"硬卧\"]";
  const Case cases[] = {
      {goodSeats, "seat_positions = [\"E\"]", 10,
       "seat_positions: \"E\" is not a seat position; the service names them A, B, C, D, F"},
      {goodSeats, "seat_positions = [\"f\"]", 10, "\"f\" is not a seat position"},
      {goodSeats, "seat_positions = \"F\"", 10, "seat_positions must be a list of texts, such as [\"F\", \"A\"]"},
      {goodSeats, "seat_positions = []", 10, "seat_positions must be a list of texts"},
      {goodSeats, "seat_positions = [\"F\", 1]", 10, "seat_positions must hold texts in quotes only"},
      {goodSeats, "seat_positions = [\"F\", \"A\", \"C\"]", 10,
       "seat_positions: 3 places for 2 passengers; give at most one per passenger"},
      {"seats = [\"硬卧\", \"硬座\"]", "seat_positions = [\"F\"]", 10,
       "seat_positions: none of the wish's seat classes has seat positions; 商务座, 一等座, 二等座 do"},
      {"seats = [\"一等座\", \"商务座\"]", "seat_positions = [\"B\"]", 10,
       "seat_positions: \"B\" is not a seat position of 一等座, 商务座"},
      {goodSeats, "berths = [\"卧铺\"]", 10, "berths: \"卧铺\" is not a berth; known: 下铺, 中铺, 上铺"},
      {goodSeats, "berths = [\"下铺\", \"下铺\", \"上铺\"]", 10, "berths: 3 places for 2 passengers"},
      {"seats = [\"二等座\"]", "berths = [\"下铺\"]", 10, "berths: none of the wish's seat classes is a sleeper class"},
      {"seats = [\"软卧\", \"二等座\"]", "berths = [\"中铺\"]", 10, "berths: 软卧 has no 中铺"},
      {goodSeats, "start_at = \"Sale\"", 10, "start_at: \"Sale\" is not a moment written as"},
  };
  for (const Case& c : cases) {
    std::string wish = kGoodWish;
    const std::size_t at = wish.find("seats = ");
    wish = wish.substr(0, at) + c.seats + "\n" + c.keys + "\n";
    const PlanReading reading = Read("account = \"demo\"\n" + wish);
    ASSERT_EQ(reading.errors.size(), 1u) << c.keys << ": "
                                         << (reading.errors.empty() ? "" : DescribePlanError(reading.errors.back()));
    EXPECT_EQ(reading.errors[0].line, c.line) << c.keys;
    EXPECT_NE(reading.errors[0].message.find(c.says), std::string::npos) << c.keys << ": " << reading.errors[0].message;
  }
}

TEST(PlanReader, StartAtSaleWaitsForTheStationsOpeningOfEachDate) {
  const PlanReading reading = Read("account = \"demo\"\n" + std::string(kGoodWish) + "start_at = \"sale\"\n");
  ASSERT_TRUE(reading.Ok()) << DescribePlanError(reading.errors[0]);
  PlanWish wish = reading.plan.wishes[0];
  EXPECT_TRUE(wish.startAtSale);
  EXPECT_FALSE(wish.startAt);  // known once the service's table is read

  // 北京 (BJP) opens at 08:00, fifteen days of sale: 2026-12-20 opens on
  // 2026-12-06, 2027-01-08 on 2026-12-25; 上海虹桥 is not a departure station.
  StationSaleTimes times;
  times.openingMinute = {{"BJP", 8 * 60}, {"AOH", 9 * 60}};
  wish.dates = {"2027-01-08", "2026-12-25"};
  const std::vector<SaleOpeningRow> rows = SaleOpeningRows(wish, times);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].date, "2027-01-08");
  EXPECT_EQ(rows[0].station.telecode, "BJP");
  ASSERT_TRUE(rows[0].opening);
  EXPECT_EQ(ChinaMomentText(*rows[0].opening), "2026-12-25 08:00:00.000");
  EXPECT_EQ(ChinaMomentText(*rows[1].opening), "2026-12-11 08:00:00.000");

  const auto at = [](const char* moment) { return *ParseChinaMoment(moment); };
  struct Case {
    const char* now;
    std::optional<std::string> first;  // none: at once
  };
  const Case cases[] = {
      {"2026-12-10 12:00:00", "2026-12-11 08:00:00.000"},  // the earlier date opens first
      {"2026-12-11 07:59:59.999", "2026-12-11 08:00:00.000"},
      {"2026-12-11 08:00:00", std::nullopt},  // one date is on sale: query at once
      {"2026-12-30 00:00:00", std::nullopt},
  };
  for (const Case& c : cases) {
    const auto first = FirstSaleOpening(rows, at(c.now));
    EXPECT_EQ(first ? std::optional(ChinaMomentText(*first)) : std::nullopt, c.first) << c.now;
  }
  // A station the table does not name cannot be timed: at once.
  times.openingMinute.erase("BJP");
  const std::vector<SaleOpeningRow> unknown = SaleOpeningRows(wish, times);
  EXPECT_FALSE(unknown[0].opening);
  EXPECT_FALSE(FirstSaleOpening(unknown, at("2026-12-10 12:00:00")));

  PlanReading told = reading;
  told.plan.wishes[0].saleOpenings = rows;
  told.plan.wishes[0].startAt = FirstSaleOpening(rows, at("2026-12-10 12:00:00"));
  const std::string summary = DescribePlan(told.plan);
  EXPECT_NE(summary.find("  start_at     sale, first opening 2026-12-11 08:00:00.000 (China Standard Time)\n"),
            std::string::npos)
      << summary;
  EXPECT_NE(summary.find("  sale         2026-12-25 at 北京 (BJP): on sale from 2026-12-11 08:00:00.000 (China "
                         "Standard Time)\n"),
            std::string::npos)
      << summary;
}

TEST(PlanReader, CharactersBeyondAsciiAreFineInStringsAndComments) {
  const std::string texts[] = {
      "# 计划：北京 \"到\" 上海\naccount = 'demo' # 帐号 ' \"\n",
      "account = \"北\\\"京\" # 注释\n",
      "account = \"\"\"多行\n'''\"\" \"\"\"\nx = '''字\n\"'''\n# \"\"\" 注释\n",
      "account = 'demo'\n" + std::string(kGoodWish),
  };
  for (const std::string& text : texts) {
    for (const PlanError& error : Read(text).errors) {
      EXPECT_EQ(error.message.find("beyond ASCII"), std::string::npos) << text;
    }
  }
}

TEST(PlanReader, LiteralStringsBeyondAsciiKeepTheirValues) {
  std::string wish = kGoodWish;
  wish.replace(wish.find("\"北京\""), std::string("\"北京\"").size(), "'北京'");
  wish.replace(wish.find("\"张伟\""), std::string("\"张伟\"").size(), "'''张伟'''");
  const PlanReading literal = Read("account = 'demo' # 帐号\n" + wish);
  const PlanReading basic = Read("account = \"demo\"\n" + std::string(kGoodWish));
  ASSERT_TRUE(literal.Ok()) << DescribePlanError(literal.errors[0]);
  ASSERT_TRUE(basic.Ok());
  EXPECT_EQ(literal.plan.wishes[0].from.name, basic.plan.wishes[0].from.name);
  EXPECT_EQ(literal.plan.wishes[0].passengers, basic.plan.wishes[0].passengers);
  EXPECT_EQ(literal.plan.wishes[0].line, basic.plan.wishes[0].line);
}

TEST(PlanReader, ReportsEveryProblemInLineOrder) {
  const PlanReading reading = Read(
      "account = \"demo\"\ncolour = 1\n[[wish]]\nfrom = \"火星\"\nto = \"上海\"\n"
      "dates = [\"1999-01-01\"]\npassengers = [\"张伟\"]\nticket_type = \"成人票\"\n"
      "seats = [\"座\"]\n");
  std::vector<int> lines;
  for (const PlanError& error : reading.errors) lines.push_back(error.line);
  EXPECT_EQ(lines, (std::vector<int>{2, 4, 6, 9}));
  EXPECT_EQ(DescribePlanError(reading.errors[0]), "/plans/trip.toml:2: unknown key \"colour\"");
}

TEST(PlanReader, TheNotifyTableNamesAWebhookAndACommand) {
  const std::string plan = "account = \"demo\"\n" + std::string(kGoodWish) + "[notify]\n";
  const PlanReading good = Read(plan +
                                "url = \"https://push.example/hook?k=1\"\n"
                                "command = [\"/usr/bin/my-push\", \"--to\", \"手机\", \"--to\"]\n");
  ASSERT_TRUE(good.Ok()) << DescribePlanError(good.errors[0]);
  EXPECT_EQ(good.plan.notify.url, "https://push.example/hook?k=1");
  EXPECT_EQ(good.plan.notify.command,
            (std::vector<std::string>{"/usr/bin/my-push", "--to", reinterpret_cast<const char*>(u8"手机"), "--to"}));
  EXPECT_NE(DescribePlan(good.plan).find("Notify\n  url          https://push.example/hook?k=1\n"
                                         "  command      /usr/bin/my-push --to "),
            std::string::npos)
      << DescribePlan(good.plan);
  const PlanReading none = Read("account = \"demo\"\n" + std::string(kGoodWish));
  EXPECT_EQ(DescribePlan(none.plan).find("Notify"), std::string::npos);
  EXPECT_TRUE(none.plan.notify.url.empty());
  EXPECT_TRUE(none.plan.notify.command.empty());

  const struct {
    std::string lines;
    const char* says;
  } cases[] = {
      {"url = \"mailto:me@example.org\"\n", "notify: url must be an address beginning with https://"},
      {"url = 3\n", "notify: url must be a text"},
      {"command = \"my-push --phone\"\n", "notify: command must be a list of texts, the program first"},
      {"command = []\n", "notify: command must be a list of texts"},
      {"command = [\"my-push\", 2]\n", "notify: command must hold texts in quotes only"},
      {"command = [\"\", \"x\"]\n", "notify: command names no program"},
      {"sound = false\n", "notify: unknown key \"sound\""},
  };
  for (const auto& c : cases) {
    const PlanReading reading = Read(plan + c.lines);
    ASSERT_EQ(reading.errors.size(), 1u) << c.lines;
    EXPECT_EQ(reading.errors[0].line, 11) << c.lines;
    EXPECT_NE(reading.errors[0].message.find(c.says), std::string::npos) << reading.errors[0].message;
  }
  EXPECT_NE(
      Read("account = \"demo\"\nnotify = 1\n" + std::string(kGoodWish)).errors.at(0).message.find("[notify] table"),
      std::string::npos);
}

TEST(PlanReader, ARelativeCaFileIsFoundBesideThePlan) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quillet-plan-test";
  std::filesystem::create_directories(folder / "certs");
  std::ofstream(folder / "certs" / "extra.pem") << "-----BEGIN CERTIFICATE-----\n";
  const std::string planPath = (folder / "trip.toml").string();
  std::ofstream(planPath) << "ca_file = \"certs/extra.pem\"\naccount = \"demo\"\n" << kGoodWish;
  const PlanReading reading = ReadPlanFile(planPath, Stations(), kToday);
  ASSERT_TRUE(reading.Ok()) << DescribePlanError(reading.errors[0]);
  EXPECT_EQ(reading.plan.caFile, (folder / "certs" / "extra.pem").string());

  const PlanReading missing = ReadPlanFile((folder / "absent.toml").string(), Stations(), kToday);
  ASSERT_EQ(missing.errors.size(), 1u);
  EXPECT_EQ(DescribePlanError(missing.errors[0]),
            (folder / "absent.toml").string() + ": cannot read the plan file: No such file or directory");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quillet::cli
