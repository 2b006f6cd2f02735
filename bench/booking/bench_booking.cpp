// Run: build/<dir>/bench/booking/bench_booking --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "booking/answers.h"
#include "net/cookies.h"
#include "stations/station_directory.h"
#include "util/codepage.h"

namespace quillet {
namespace {

const StationDirectory& Stations() {
  static const StationDirectory* const directory = [] {
    auto* loaded = new StationDirectory;
    loaded->LoadStations();
    return loaded;
  }();
  return *directory;
}

// A left-ticket answer shaped like the service's: a station map, then the
// result list of `trains` quoted train texts of 36 pieces each, with a
// percent-encoded secret of some 300 bytes in front.
std::string LeftTicketAnswer(int trains) {
  const auto& records = Stations().Records();
  std::string answer = R"({"httpstatus":200,"data":{"flag":"1","map":{"BJP":")" + records[2].name + R"(","SHH":")" +
                       Stations().NameForTelecode("SHH") + R"("},"result":[)";
  const std::string booking = Gbk(u8"预订");
  const std::string none = Gbk(u8"无");
  const std::string some = Gbk(u8"有");
  for (int t = 0; t < trains; ++t) {
    std::string secret;
    for (int k = 0; secret.size() < 300; ++k) secret += "Zm9vYmFy" + std::to_string(t * 31 + k) + "%2B%2F";
    secret += "%3D";
    std::string code(t % 2 ? "G" : "K");
    code += std::to_string(100 + t);
    const std::string& from = records[static_cast<std::size_t>(t * 7) % records.size()].telecode;
    const std::string& to = records[static_cast<std::size_t>(t * 13 + 5) % records.size()].telecode;
    std::string text = secret + "|" + booking + "|24000" + code + "0Q|" + code + "|BJP|SHH|" + from + "|" + to +
                       "|08:00|13:28|05:28|Y|O2x4Gw8sPdW1ZXNWXQnVJWkK%2FH1d2lRt|20261212|3|P2|01|10|1|0||||" +
                       "--|--||" + none + "|--|" + some + "|7|--|12|9|3|O0M0O0|OMO|1";
    answer += (t ? ",\"" : "\"") + text + "\"";
  }
  answer += R"(]},"messages":"","status":true})";
  return answer;
}

void BM_ReadLeftTickets200(benchmark::State& state) {
  const std::string recorded = LeftTicketAnswer(200);
  for (auto _ : state) {
    std::string answer = recorded;  // the reader cuts its answer down in place
    std::vector<TrainRecord> records;
    ReadLeftTickets(answer, Stations(), records);
    benchmark::DoNotOptimize(records.data());
    if (records.size() != 200) state.SkipWithError("not every train was read");
  }
  state.counters["answer_bytes"] = static_cast<double>(recorded.size());
}
BENCHMARK(BM_ReadLeftTickets200)->Unit(benchmark::kMicrosecond);

// The decoding that comes before the reading: the service's UTF-8 bytes to program text.
void BM_DecodeLeftTickets200(benchmark::State& state) {
  const std::string utf8 = Utf8FromGbk(LeftTicketAnswer(200));
  for (auto _ : state) benchmark::DoNotOptimize(GbkFromUtf8(utf8));
  state.counters["answer_bytes"] = static_cast<double>(utf8.size());
}
BENCHMARK(BM_DecodeLeftTickets200)->Unit(benchmark::kMicrosecond);

// The same by iconv over every byte, for comparison.
void BM_DecodeLeftTickets200ByIconv(benchmark::State& state) {
  const std::string utf8 = Utf8FromGbk(LeftTicketAnswer(200));
  for (auto _ : state) benchmark::DoNotOptimize(codepage_detail::GbkFromUtf8ByIconv(utf8));
}
BENCHMARK(BM_DecodeLeftTickets200ByIconv)->Unit(benchmark::kMicrosecond);

// The passenger list answer of an account with eight passengers (some 4 KB),
// read by its ten-group pattern.
void BM_MatchPassengers8(benchmark::State& state) {
  std::string answer =
      R"({"validateMessagesShowId":"_validatorMessage","status":true,"httpstatus":200,)"
      R"("data":{"notify_for_gat":"","isExist":true,"exMsg":"","two_isOpenClick":["93","95","97","99"],)"
      R"("other_isOpenClick":["91","93","98","99","95","97"],"normal_passengers":[)";
  for (int i = 0; i < 8; ++i) {
    if (i) answer += ",";
    answer += R"({"code":")" + std::to_string(i + 1) + R"(","passenger_name":")" + Gbk(u8"张三") + std::to_string(i) +
              R"(","sex_code":"M","sex_name":")" + Gbk(u8"男") +
              R"(","born_date":"1990-01-01 00:00:00","country_code":"CN","passenger_id_type_code":"1",)"
              R"("passenger_id_type_name":")" +
              Gbk(u8"中国居民身份证") + R"(","passenger_id_no":"11010519900101123)" + std::to_string(i) +
              R"(","passenger_type":"1","passenger_flag":"0","passenger_type_name":")" + Gbk(u8"成人") +
              R"(","mobile_no":"1380013800)" + std::to_string(i) +
              R"(","phone_no":"","email":"","address":"","postalcode":"","first_letter":"ZS","recordCount":"8",)"
              R"("total_times":"99","index_id":"0","gat_born_date":"","gat_valid_date_start":"",)"
              R"("gat_valid_date_end":"","gat_version":""})";
  }
  answer += R"(],"dj_passengers":[]},"messages":[],"validateMessages":{}})";
  for (auto _ : state) {
    const std::vector<PassengerRecord> found = MatchPassengers(answer);
    if (found.size() != 8) state.SkipWithError("not every passenger was read");
    benchmark::DoNotOptimize(found.data());
  }
  state.counters["answer_bytes"] = static_cast<double>(answer.size());
}
BENCHMARK(BM_MatchPassengers8)->Unit(benchmark::kMicrosecond);

void BM_FindStations(benchmark::State& state, std::u8string_view typed, int mode) {
  const std::string query = Gbk(typed);
  for (auto _ : state) {
    std::vector<std::string> results;
    Stations().FindStations(query, mode, results);
    benchmark::DoNotOptimize(results.data());
  }
}
BENCHMARK_CAPTURE(BM_FindStations, sh, u8"sh", 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FindStations, beijing_hanzi, u8"北京", 0)->Unit(benchmark::kMicrosecond);

// The whole filter of one keystroke, with its Chinese-character test.
void BM_FilterStationBox(benchmark::State& state, std::u8string_view typed) {
  const std::string text = Gbk(typed);
  for (auto _ : state) benchmark::DoNotOptimize(FilterStationBox(Stations(), text));
}
BENCHMARK_CAPTURE(BM_FilterStationBox, sh, u8"sh")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FilterStationBox, beijing_hanzi, u8"北京")->Unit(benchmark::kMicrosecond);

void BM_MergeCookies20(benchmark::State& state) {
  std::string jar;
  for (int i = 0; i < 20; ++i) {
    if (i) jar += "; ";
    jar += "cookie" + std::to_string(i) + "=value" + std::to_string(i * 7919);
  }
  const std::string answerPairs = "cookie3=fresh; tk=abcdef0123456789; cookie7=deleted";
  for (auto _ : state) {
    std::string mergedJar = jar;
    std::string pairs = answerPairs;
    benchmark::DoNotOptimize(MergeCookies(mergedJar, pairs));
  }
}
BENCHMARK(BM_MergeCookies20)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quillet

BENCHMARK_MAIN();
