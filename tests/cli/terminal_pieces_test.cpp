// The terminal side of quillet-grab: captcha answers, the captcha picture,
// JSON texts and the event lines.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "../grab/gbk.h"
#include "cli/captcha_answer.h"
#include "cli/captcha_picture.h"
#include "cli/event_output.h"
#include "cli/grab_run.h"
#include "cli/interruptible_input.h"
#include "cli/notifier_report_text.h"
#include "cli/private_folder.h"
#include "cli/stop_requests.h"
#include "util/json_text.h"

namespace quillet::cli {
namespace {

using test::G;

TEST(CaptchaCells, ParsesNumbersOneToEight) {
  struct Case {
    const char* line;
    std::optional<std::vector<int>> cells;
  };
  const Case cases[] = {
      {"2 5", std::vector<int>{2, 5}},
      {"2,5", std::vector<int>{2, 5}},
      {" 8 , 1\r", std::vector<int>{8, 1}},
      {"3", std::vector<int>{3}},
      {"", std::nullopt},
      {" , ", std::nullopt},
      {"0", std::nullopt},
      {"9", std::nullopt},
      {"25", std::nullopt},
      {"2 2", std::nullopt},
      {"2;5", std::nullopt},
      {"-1", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseCaptchaCells(c.line), c.cells) << '"' << c.line << '"';
}

TEST(CaptchaCells, APipeGivesOneAnswerPerLineAndFailsOnBadInput) {
  std::istringstream in("1 3\n4,6\nnine\n");
  std::ostringstream prompts;
  EXPECT_EQ(ReadCaptchaCells(in, prompts, false).cells, (std::vector<int>{1, 3}));
  EXPECT_EQ(ReadCaptchaCells(in, prompts, false).cells, (std::vector<int>{4, 6}));
  const CaptchaCellsResult bad = ReadCaptchaCells(in, prompts, false);
  EXPECT_TRUE(bad.cells.empty());
  EXPECT_NE(bad.error.find("\"nine\""), std::string::npos) << bad.error;
  const CaptchaCellsResult ended = ReadCaptchaCells(in, prompts, false);
  EXPECT_NE(ended.error.find("input ended"), std::string::npos) << ended.error;
  EXPECT_TRUE(prompts.str().empty());
}

TEST(CaptchaCells, ATerminalIsAskedAgain) {
  std::istringstream in("12\n\n7 8\n");
  std::ostringstream prompts;
  const CaptchaCellsResult result = ReadCaptchaCells(in, prompts, true);
  EXPECT_EQ(result.cells, (std::vector<int>{7, 8}));
  const std::string text = prompts.str();
  int asked = 0;
  for (std::size_t at = 0; (at = text.find("Captcha cells", at)) != std::string::npos; ++at) ++asked;
  EXPECT_EQ(asked, 3) << text;
}

TEST(JsonText, EscapesWhatJsonNeedsAndConvertsGbk) {
  EXPECT_EQ(JsonString(G(u8"张伟")), "\"张伟\"");
  EXPECT_EQ(JsonString("a\"b\\c\n\r\t\x01\x1f\x7f"), "\"a\\\"b\\\\c\\n\\r\\t\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(JsonString(""), "\"\"");
  // A byte that is no GBK character becomes U+FFFD rather than broken UTF-8.
  EXPECT_EQ(JsonString("\x81"), "\"\xEF\xBF\xBD\"");
}

EventOrder Order() { return {2, "2026-12-20", "G101", G(u8"二等座"), {G(u8"张伟"), G(u8"李\"娜")}}; }

TEST(GrabEventJson, OneObjectPerEvent) {
  EXPECT_EQ(GrabEventJson(BookedEvent{Order(), "E123456789"}),
            "{\"event\":\"booked\",\"wish\":2,\"date\":\"2026-12-20\",\"train\":\"G101\",\"seat\":\"二等座\","
            "\"passengers\":[\"张伟\",\"李\\\"娜\"],\"order_id\":\"E123456789\"}");
  const std::string unknownId = GrabEventJson(BookedEvent{Order(), ""});
  EXPECT_EQ(unknownId.substr(unknownId.size() - 17), ",\"order_id\":null}");
  EXPECT_EQ(GrabEventJson(AttemptEvent{1, 42, 5}), "{\"event\":\"attempt\",\"wish\":1,\"attempts\":5,\"total\":42}");
  EXPECT_EQ(GrabEventJson(QueryFailedEvent{1, "2026-12-20", G(u8"系统繁忙")}),
            "{\"event\":\"query_failed\",\"wish\":1,\"date\":\"2026-12-20\",\"reason\":\"系统繁忙\"}");
  EXPECT_NE(GrabEventJson(OrderRefusedEvent{Order(), G(u8"余票不足！")}).find("\"event\":\"order_refused\""),
            std::string::npos);
  EXPECT_NE(GrabEventJson(ManualCheckEvent{Order(), "x"}).find("\"event\":\"manual_check\",\"wish\":2"),
            std::string::npos);
  EXPECT_EQ(GrabEventJson(StoppedEvent{"SIGTERM"}), "{\"event\":\"stopped\",\"reason\":\"SIGTERM\"}");
  EXPECT_EQ(GrabEventJson(SessionLapsedEvent{}), "{\"event\":\"session_lapsed\"}");
  EXPECT_EQ(GrabEventJson(SignedInEvent{}), "{\"event\":\"signed_in\"}");
  EXPECT_EQ(GrabEventJson(UnknownTrainEvent{1, "G7029"}),
            "{\"event\":\"unknown_train\",\"wish\":1,\"train\":\"G7029\"}");
  EXPECT_EQ(GrabEventJson(NoTrainRunsEvent{2}), "{\"event\":\"wish_failed\",\"wish\":2,\"reason\":\"no_train_runs\"}");
  ServiceClockNote clock;
  clock.read = true;
  clock.offset = std::chrono::milliseconds(1234);
  clock.uncertainty = std::chrono::milliseconds(4);
  clock.probes = 16;
  EXPECT_EQ(GrabEventJson(ClockEvent{clock}),
            "{\"event\":\"clock\",\"text\":\"service clock: +1234 ms +/- 4 ms (16 probes)\",\"offset_ms\":1234,"
            "\"uncertainty_ms\":4,\"probes\":16}");
  EXPECT_EQ(GrabEventJson(ClockEvent{ServiceClockNote{}}).find("\"offset_ms\""), std::string::npos);
  // The moment is China Standard Time with milliseconds, whatever the zone.
  const auto moment = std::chrono::system_clock::time_point(std::chrono::milliseconds(1797729302045));
  EXPECT_EQ(GrabEventJson(StoppedEvent{"SIGTERM"}, moment),
            "{\"event\":\"stopped\",\"reason\":\"SIGTERM\",\"at\":\"2026-12-20T09:15:02.045+08:00\"}");
}

struct FakeClock {
  std::chrono::steady_clock::time_point now{};
  EventOutput::Clock Get() {
    return [this] { return now; };
  }
};

TEST(EventOutput, AttemptSummariesAtMostOnceASecondAsARewrittenStatusLine) {
  FakeClock clock;
  std::ostringstream out;
  EventOutput output(out, EventOutput::Format::kText, true, clock.Get());
  output.Write(AttemptEvent{1, 1});
  output.Write(AttemptEvent{2, 1});  // within the second: held back
  clock.now += std::chrono::milliseconds(400);
  output.Write(AttemptEvent{1, 2});
  EXPECT_EQ(out.str(), "\rattempts: wish 1 1\x1b[K");
  clock.now += std::chrono::milliseconds(700);
  output.Write(AttemptEvent{1, 3});
  EXPECT_EQ(out.str(), "\rattempts: wish 1 1\x1b[K\rattempts: wish 1 3 wish 2 1\x1b[K");
  out.str("");
  output.Write(BookedEvent{Order(), "E1"});
  EXPECT_EQ(out.str(), "\r\x1b[Kwish 2: BOOKED G101 on 2026-12-20, 二等座, for 张伟, 李\"娜, order E1\n");
  out.str("");
  output.Finish();
  EXPECT_EQ(out.str(), "") << "no status line is left open";
}

TEST(EventOutput, OffATerminalSummariesArePlainLinesAndJsonIsEveryEvent) {
  FakeClock clock;
  std::ostringstream text;
  EventOutput plain(text, EventOutput::Format::kText, false, clock.Get());
  plain.Write(AttemptEvent{1, 1});
  plain.Write(AttemptEvent{1, 2});
  plain.Write(QueryFailedEvent{1, "2026-12-20", G(u8"网络错误")});
  EXPECT_EQ(text.str(), "attempts: wish 1 1\nwish 1: query for 2026-12-20 failed: 网络错误\n");

  // JSON: every event with its moment; a wish's attempts at most once a
  // second, counting the passes since its last line.
  std::ostringstream json;
  const auto moment = std::chrono::system_clock::time_point(std::chrono::milliseconds(1797729302000));
  EventOutput lines(json, EventOutput::Format::kJson, true, clock.Get(), [&] { return moment; });
  lines.Write(AttemptEvent{1, 1});
  lines.Write(AttemptEvent{2, 1});
  clock.now += std::chrono::milliseconds(600);
  lines.Write(AttemptEvent{1, 2});
  lines.Write(AttemptEvent{1, 3});
  clock.now += std::chrono::milliseconds(400);
  lines.Write(AttemptEvent{1, 4});
  lines.Write(StoppedEvent{"SIGINT"});
  const std::string at = ",\"at\":\"2026-12-20T09:15:02.000+08:00\"}\n";
  EXPECT_EQ(json.str(), "{\"event\":\"attempt\",\"wish\":1,\"attempts\":1,\"total\":1" + at +
                            "{\"event\":\"attempt\",\"wish\":2,\"attempts\":1,\"total\":1" + at +
                            "{\"event\":\"attempt\",\"wish\":1,\"attempts\":3,\"total\":4" + at +
                            "{\"event\":\"stopped\",\"reason\":\"SIGINT\"" + at);
}

// A run of several accounts writes through one output per account: each
// line names its account, and wishes of one number are told apart.
TEST(EventOutput, AnAccountsOutputNamesItsAccountOnEveryLine) {
  FakeClock clock;
  std::ostringstream text;
  EventOutput plain(text, EventOutput::Format::kText, false, clock.Get());
  EventOutput first(plain, "demo");
  EventOutput second(plain, G(u8"李四"));
  first.Write(AttemptEvent{1, 1});
  clock.now += std::chrono::seconds(1);
  second.Write(AttemptEvent{1, 5});
  second.Write(StoppedEvent{"SIGINT"});
  EXPECT_EQ(text.str(),
            "attempts: [demo] wish 1 1\nattempts: [demo] wish 1 1 [李四] wish 1 5\n[李四] stopped: SIGINT\n");

  std::ostringstream json;
  const auto moment = std::chrono::system_clock::time_point(std::chrono::milliseconds(1797729302000));
  EventOutput lines(json, EventOutput::Format::kJson, false, clock.Get(), [&] { return moment; });
  EventOutput labelled(lines, "demo");
  labelled.Write(AttemptEvent{1, 1});
  EventOutput(lines, "other").Write(AttemptEvent{1, 1});  // not held back: another account's wish 1
  labelled.Write(StoppedEvent{"SIGINT"});
  const std::string at = ",\"at\":\"2026-12-20T09:15:02.000+08:00\"}\n";
  EXPECT_EQ(json.str(), "{\"event\":\"attempt\",\"account\":\"demo\",\"wish\":1,\"attempts\":1,\"total\":1" + at +
                            "{\"event\":\"attempt\",\"account\":\"other\",\"wish\":1,\"attempts\":1,\"total\":1" + at +
                            "{\"event\":\"stopped\",\"account\":\"demo\",\"reason\":\"SIGINT\"" + at);
}

TEST(EventOutput, ControlCharactersFromTheServiceShowAsEscapesInTextOnly) {
  // A refusal that would retitle the window, clear the screen and fake a
  // booking line of its own.
  const std::string refusal = "\x1b]0;owned\x07\x1b[2J\r\nwish 2: BOOKED G9 on 2026-12-20\x1b[K";
  std::ostringstream text;
  EventOutput plain(text, EventOutput::Format::kText, true);
  plain.Write(OrderRefusedEvent{Order(), refusal});
  EXPECT_EQ(text.str(),
            "wish 2: order refused, G101 on 2026-12-20, 二等座, for 张伟, 李\"娜: "
            "\\x1b]0;owned\\x07\\x1b[2J\\x0d\\x0awish 2: BOOKED G9 on 2026-12-20\\x1b[K\n");
  EXPECT_EQ(text.str().find("\nwish 2: BOOKED"), std::string::npos);

  std::ostringstream json;
  EventOutput lines(json, EventOutput::Format::kJson, false);
  lines.Write(OrderRefusedEvent{Order(), refusal});
  EXPECT_NE(json.str().find("\"reason\":\"\\u001b]0;owned\\u0007\\u001b[2J\\r\\nwish 2: BOOKED"), std::string::npos)
      << json.str();
}

TEST(EventOutput, NotificationResultsAreEventsWithTheNotifierAndTheEvent) {
  const NotificationEvent delivered{true, "webhook", "booked", "G101", "2026-12-20", {}};
  const NotificationEvent failed{false, "command", "manual_check", "G101", "2026-12-20", G(u8"退出码 2")};
  EXPECT_EQ(GrabEventJson(delivered),
            "{\"event\":\"notify_delivered\",\"notifier\":\"webhook\",\"about\":\"booked\",\"train\":\"G101\","
            "\"date\":\"2026-12-20\"}");
  EXPECT_EQ(GrabEventJson(failed),
            "{\"event\":\"notify_failed\",\"notifier\":\"command\",\"about\":\"manual_check\",\"train\":\"G101\","
            "\"date\":\"2026-12-20\",\"reason\":\"退出码 2\"}");
  std::ostringstream text;
  EventOutput plain(text, EventOutput::Format::kText, false);
  plain.Write(delivered);
  plain.Write(failed);
  plain.Write(NotificationEvent{false, "webhook", "session_lapsed", "", "", "x"});
  EXPECT_EQ(text.str(),
            "notify webhook: delivered booked G101 on 2026-12-20\n"
            "notify command: not delivered manual_check G101 on 2026-12-20: 退出码 2\n"
            "notify webhook: not delivered session_lapsed: x\n");
}

TEST(PrivateFolder, OnlyTheUserMayEnterAndItGoesWithItsFiles) {
  const std::filesystem::path base =
      std::filesystem::temp_directory_path() / ("quillet-private-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(base / "runtime");
  std::filesystem::create_directories(base / "tmp");
  const struct {
    const char* name;
    std::string runtime;
    std::filesystem::path parent;
  } cases[] = {
      {"under XDG_RUNTIME_DIR", (base / "runtime").string(), base / "runtime"},
      {"no runtime folder: under TMPDIR", "", base / "tmp"},
      {"a runtime folder that cannot be used", (base / "missing").string(), base / "tmp"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path;
    {
      PrivateFolder folder(c.runtime.c_str(), (base / "tmp").c_str());
      path = folder.Path();
      ASSERT_FALSE(path.empty()) << folder.Error();
      EXPECT_EQ(std::filesystem::path(path).parent_path(), c.parent);
      struct stat info {};
      ASSERT_EQ(::stat(path.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 0777, 0700u);
      const SavedPicture saved = SaveCaptchaPicture("jpeg bytes", path);
      ASSERT_FALSE(saved.path.empty()) << saved.error;
      ASSERT_EQ(::stat(saved.path.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
  }
  std::filesystem::remove_all(base);
}

TEST(InterruptibleInput, ReadsLinesUntilTheWakeDescriptorIsReadable) {
  int input[2];
  int wake[2];
  ASSERT_EQ(::pipe(input), 0);
  ASSERT_EQ(::pipe(wake), 0);
  InterruptibleInput in(input[0], wake[0]);
  ASSERT_EQ(::write(input[1], "2 7\n", 4), 4);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(line, "2 7");
  // The reader is waiting for the next line when the wake-up comes.
  std::thread waker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(::write(wake[1], "x", 1), 1);
  });
  EXPECT_FALSE(std::getline(in, line));
  EXPECT_TRUE(in.Interrupted());
  waker.join();
  for (int fd : {input[0], input[1], wake[0], wake[1]}) ::close(fd);
}

TEST(StopRequests, TheFirstSignalStopsTheSecondEndsAndTheLastResortFollowsLate) {
  std::atomic<int> lastResorts{0};
  StopRequests stops([&] { ++lastResorts; }, std::chrono::milliseconds(200));
  EXPECT_FALSE(stops.First().stop_requested());
  stops.Take(SIGTERM);
  EXPECT_TRUE(stops.First().stop_requested());
  EXPECT_FALSE(stops.Second().stop_requested());
  pollfd wake{stops.WakeFd(), POLLIN, 0};
  EXPECT_EQ(::poll(&wake, 1, 0), 1);
  stops.Take(SIGINT);
  EXPECT_TRUE(stops.Second().stop_requested());
  EXPECT_EQ(stops.FirstSignal(), SIGTERM);
  EXPECT_EQ(stops.Count(), 2);
  EXPECT_EQ(lastResorts.load(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_EQ(lastResorts.load(), 1);
}

// A small JPEG: left half red, right half blue.
std::string TestJpeg(int width, int height) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
  for (int x = 0; x < width; ++x) {
    row[x * 3] = x < width / 2 ? 255 : 0;
    row[x * 3 + 2] = x < width / 2 ? 0 : 255;
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW line = row.data();
    jpeg_write_scanlines(&info, &line, 1);
  }
  jpeg_finish_compress(&info);
  std::string bytes(reinterpret_cast<char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return bytes;
}

TEST(CaptchaPicture, DecodesAJpegAndRefusesAnythingElse) {
  const std::string jpeg = TestJpeg(40, 20);
  const auto image = DecodeJpeg(jpeg);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 40);
  EXPECT_EQ(image->height, 20);
  ASSERT_EQ(image->pixels.size(), 40u * 20 * 3);
  EXPECT_GT(image->pixels[0], 200);                       // red on the left
  EXPECT_GT(image->pixels[(39 + 40 * 10) * 3 + 2], 200);  // blue on the right
  EXPECT_FALSE(DecodeJpeg(""));
  EXPECT_FALSE(DecodeJpeg("<html>busy</html>"));
  EXPECT_FALSE(DecodeJpeg(jpeg.substr(0, 30)));  // cut short
}

TEST(CaptchaPicture, DrawsAsTheTerminalAllows) {
  const auto image = DecodeJpeg(TestJpeg(293, 190));
  ASSERT_TRUE(image);
  const char* xterm[] = {"TERM=xterm-256color", nullptr};
  const char* kitty[] = {"TERM=xterm-kitty", nullptr};
  EXPECT_EQ(DetectTerminalGraphics(xterm), TerminalGraphics::kSymbols);
  EXPECT_EQ(DetectTerminalGraphics(kitty), TerminalGraphics::kKitty);
  const std::string symbols = DrawForTerminal(*image, xterm, 40);
  EXPECT_NE(symbols.find("\x1b["), std::string::npos);
  // At most 40 columns: one line of symbols holds at most 40 characters.
  const std::size_t lines = static_cast<std::size_t>(std::count(symbols.begin(), symbols.end(), '\n'));
  EXPECT_GE(lines, 5u);
  EXPECT_LE(lines, 40u);
  EXPECT_EQ(DrawForTerminal(*image, kitty, 40).rfind("\x1b_G", 0), 0u);
}

TEST(CaptchaPicture, SavedToAFileWhosePathIsGiven) {
  const std::string jpeg = TestJpeg(8, 8);
  const std::string folder = std::filesystem::temp_directory_path().string();
  const SavedPicture saved = SaveCaptchaPicture(jpeg, folder);
  ASSERT_TRUE(saved.error.empty()) << saved.error;
  std::ifstream file(saved.path, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()), jpeg);
  EXPECT_NE(SaveCaptchaPicture(jpeg, folder).path, saved.path) << "each picture gets a file of its own";
  std::filesystem::remove(saved.path);
  EXPECT_FALSE(SaveCaptchaPicture(jpeg, "/nonexistent/folder").error.empty());
}

TEST(GrabRunExitCode, FollowsHowTheWishesEnded) {
  struct Case {
    const char* name;
    std::vector<bool> booked;  // per ended wish: booked, or a manual check
    bool signal;
    int exitCode;
  };
  const Case cases[] = {
      {"every wish booked", {true, true}, false, 0},
      {"every wish booked, then a signal", {true, true}, true, 0},
      {"one booked, one to check by hand", {true, false}, false, 4},
      {"a manual check, then a signal", {false}, true, 4},
      {"a signal before every wish was booked", {true}, true, 3},
      {"a signal before anything", {}, true, 3},
      {"ended otherwise (a lapsed session)", {true}, false, 1},
  };
  // A wish none of whose trains runs ends the run with 1 once the others end.
  {
    std::ostringstream out;
    EventOutput output(out, EventOutput::Format::kJson, false);
    GrabRun run(output, 2);
    OrderReport report;
    run.OnOrderBooked(report);
    EXPECT_FALSE(run.AllEnded());
    run.OnWishWithoutTrains(WishWithoutTrains{1, {}, {}});
    EXPECT_TRUE(run.AllEnded());
    EXPECT_EQ(run.WaitForChange(), GrabRun::Wake::kAllEnded);
    EXPECT_EQ(ExitCodeOf(run, false), 1);
  }
  for (const Case& c : cases) {
    std::ostringstream out;
    EventOutput output(out, EventOutput::Format::kJson, false);
    GrabRun run(output, 2);
    for (std::size_t i = 0; i < c.booked.size(); ++i) {
      OrderReport report;
      report.wishIndex = i;
      if (c.booked[i]) {
        run.OnOrderBooked(report);
      } else {
        run.OnOrderNeedsManualCheck(report);
      }
    }
    EXPECT_EQ(ExitCodeOf(run, c.signal), c.exitCode) << c.name;
  }
}

// quillet-grab words the notifiers' reports itself, in its own language,
// from what they report as values.
TEST(NotifierReportText, WordsEachReportInQuilletGrabsLanguage) {
  using Kind = DeliveryFailure::Kind;
  const struct {
    const char* notifier;
    NotifyEventKind event;
    DeliveryOutcome outcome;
    DeliveryFailure failure;
    const char* line;
  } cases[] = {
      {"bell", NotifyEventKind::kBooked, DeliveryOutcome::kDelivered, {}, "terminal bell: told of the booking"},
      {"webhook", NotifyEventKind::kManualCheck, DeliveryOutcome::kFailed, DeliveryFailure(Kind::kHttpStatus, 500),
       "webhook: could not tell of the manual check: HTTP status 500 after 0 tries"},
      {"command", NotifyEventKind::kBooked, DeliveryOutcome::kFailed,
       DeliveryFailure(Kind::kCannotStart, 0, "No such file or directory"),
       "notify command: could not tell of the booking: cannot start it: No such file or directory"},
      {"sound", NotifyEventKind::kBooked, DeliveryOutcome::kFailed, DeliveryFailure(Kind::kNoSound, 0, "Not available"),
       "sound: could not tell of the booking: cannot play it: Not available"},
      {"desktop", NotifyEventKind::kSessionLapsed, DeliveryOutcome::kFailed, DeliveryFailure(Kind::kNoSessionBus),
       "desktop notification: could not tell of the lapsed sign-in: there is no session bus"},
  };
  for (const auto& c : cases) {
    NotifierReport report;
    report.notifier = c.notifier;
    report.kind = c.event;
    report.outcome = c.outcome;
    report.detail = G(u8"通知 失败");  // the window's text, never shown here
    report.failure = c.failure;
    EXPECT_EQ(NotifierReportText(report), c.line);
  }
}

}  // namespace
}  // namespace quillet::cli
