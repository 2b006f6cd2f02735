// quillet-grab: books what a plan file asks for, from a terminal or a script.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/command_line.h"
#include "cli/event_output.h"
#include "cli/grab_run.h"
#include "cli/notifier_report_text.h"
#include "cli/notify_setup.h"
#include "cli/password.h"
#include "cli/plan_reader.h"
#include "cli/plan_summary.h"
#include "cli/plan_wishes.h"
#include "cli/signal_watcher.h"
#include "cli/terminal_sign_in.h"
#include "cli/trains_command.h"
#include "grab/sale_schedule.h"
#include "notify/session_notifier.h"
#include "session/session.h"
#include "stations/station_directory.h"
#include "util/codepage.h"
#include "util/messages.h"

extern char** environ;

namespace {

using quillet::Session;
using quillet::cli::CommandLine;
using quillet::cli::GrabRun;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Fail(const std::string& message) {
  std::cerr << "quillet-grab: " << message << "\n";
  return kExitFailure;
}

std::string PictureFolder() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  return error ? std::string(".") : folder.string();
}

// Everything that hears the session's events. The run's own observer comes
// first: it writes the events and decides when the run ends; then the
// notifiers, which tell the person elsewhere.
void AddObservers(Session& session, GrabRun& run, quillet::SessionNotifier& told) {
  session.AddObserver(run);
  session.AddObserver(told);
}

// What the notifiers report (a failed webhook, say), on their own threads.
void ReportNotifier(const quillet::NotifierReport& report) {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  std::cerr << "quillet-grab: " << quillet::cli::NotifierReportText(report) << "\n";
}

// Ends the run's telling in order: the workers first (a booking confirmed
// while closing is still told), then the notifiers (bounded), then the
// observer goes.
struct TellingEnd {
  Session& session;
  quillet::NotifierSet& notifiers;
  quillet::SessionNotifier& told;
  ~TellingEnd() {
    session.Close();
    notifiers.Stop();
    session.RemoveObserver(told);
  }
};

// Signs in with the password from QUILLET_PASSWORD or the terminal.
bool SignIn(Session& session, const std::string& account, quillet::cli::SignInIo& io) {
  const quillet::cli::PasswordResult password = quillet::cli::ReadPassword(std::getenv("QUILLET_PASSWORD"), account);
  if (!password.password) {
    Fail(password.error);
    return false;
  }
  const quillet::cli::SignInOutcome outcome = quillet::cli::SignInWithCaptcha(session, account, *password.password, io);
  if (!outcome.signedIn) Fail(outcome.error);
  return outcome.signedIn;
}

// After a stop, the workers end on their own: an order chain past its
// confirmation runs to its end (a few seconds) and reports its outcome.
void WaitForWorkers(Session& session) {
  while (session.RunningWorkerCount() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  session.Close();
}

int Run(const CommandLine& line, const quillet::cli::Plan& plan) {
  const bool interactive = isatty(STDIN_FILENO) != 0;
  quillet::SessionSettings settings;
  settings.serviceBaseAddress = plan.service;
  settings.caFile = plan.caFile;
  // The output and the run outlive the session, whose workers tell them.
  quillet::cli::EventOutput output(
      std::cout, line.json ? quillet::cli::EventOutput::Format::kJson : quillet::cli::EventOutput::Format::kText,
      isatty(STDOUT_FILENO) != 0);
  GrabRun run(output, plan.wishes.size());
  const std::unique_ptr<quillet::NotifierSet> notifiers = quillet::cli::MakePlanNotifiers(plan, line, ReportNotifier);
  quillet::SessionNotifier told(*notifiers);
  Session session(settings);
  const TellingEnd tellingEnd{session, *notifiers, told};
  quillet::cli::SignalWatcher signals([&run](int signalNumber) { return run.TakeSignal(signalNumber); });

  quillet::cli::SignInIo io{std::cin, std::cerr, interactive, !line.captchaCells, environ, PictureFolder()};
  if (!SignIn(session, plan.account, io)) return kExitFailure;

  const quillet::PassengersResult passengers = session.LoadPassengers();
  if (!passengers.Done()) {
    return Fail(
        quillet::Format(_("cannot load the account's passengers: %s"), quillet::Utf8FromGbk(passengers.message)));
  }
  const quillet::cli::PlanWishes wishes = quillet::cli::WishesForPlan(plan, passengers.passengers);
  if (!wishes.Ok()) {
    std::string names;
    for (const std::string& name : wishes.unknownNames)
      names += (names.empty() ? "" : ", ") + quillet::Utf8FromGbk(name);
    return Fail(quillet::Format(_("the account has no passenger named %s"), names));
  }
  bool waitsForASale = false;
  for (const quillet::OrderWish& wish : wishes.wishes) {
    waitsForASale = waitsForASale || (wish.startAt && *wish.startAt > std::chrono::system_clock::now());
    session.AddWish(wish);
  }
  if (waitsForASale) {
    session.SetWishScheduleFactory(quillet::MakeSaleScheduleFactory(
        plan.service, plan.caFile,
        [&output](const quillet::ServiceClockNote& note) { output.Write(quillet::cli::ClockEvent{note}); }));
  }
  AddObservers(session, run, told);

  run.AcceptSignals(true);
  session.StartGrabbing();
  for (;;) {
    const GrabRun::Wake wake = run.WaitForChange();
    if (wake == GrabRun::Wake::kAllEnded) break;
    if (wake == GrabRun::Wake::kSignal) {
      session.StopGrabbing();
      WaitForWorkers(session);
      output.Write(quillet::cli::StoppedEvent{run.SignalNumber() == SIGINT ? "SIGINT" : "SIGTERM"});
      output.Finish();
      return quillet::cli::ExitCodeOf(run, true);
    }
    // A lapsed session: the workers wait for a new sign-in.
    output.Finish();
    if (!interactive) {
      session.StopGrabbing();
      WaitForWorkers(session);
      output.Write(quillet::cli::StoppedEvent{N_("session lapsed")});
      output.Finish();
      if (run.AllEnded()) return quillet::cli::ExitCodeOf(run, false);
      return Fail(
          _("the service no longer knows the sign-in (the session lapsed); without a terminal it cannot "
            "sign in again, so the run ends"));
    }
    std::cerr << _("The service no longer knows the sign-in; sign in again to go on.") << "\n";
    run.AcceptSignals(false);
    if (!SignIn(session, plan.account, io)) {
      session.StopGrabbing();
      WaitForWorkers(session);
      return kExitFailure;
    }
    run.AcceptSignals(true);
  }
  session.StopGrabbing();
  WaitForWorkers(session);
  output.Finish();
  return quillet::cli::ExitCodeOf(run, false);
}

}  // namespace

int main(int argc, char** argv) {
  quillet::SetUpMessages();
  const std::vector<std::string> args(argv + 1, argv + argc);
  const quillet::cli::CommandLineResult parsed = quillet::cli::ParseCommandLine(args);
  if (!parsed.line) {
    std::cerr << "quillet-grab: " << parsed.error << "\n" << quillet::cli::UsageText();
    return kExitUsage;
  }
  const CommandLine& line = *parsed.line;
  if (line.mode == CommandLine::Mode::kHelp) {
    std::cout << quillet::cli::UsageText();
    return 0;
  }
  if (line.mode == CommandLine::Mode::kVersion) {
    std::cout << "quillet-grab " << QUILLET_VERSION << "\n";
    return 0;
  }
  if (line.mode == CommandLine::Mode::kTrains) {
    return quillet::cli::RunTrains(line.trains, line.json, std::cout, std::cerr, quillet::cli::TodayInChina());
  }
  // Before any thread starts, so that every thread leaves them to the watcher.
  quillet::cli::BlockStopSignals();

  quillet::StationDirectory stations;
  stations.LoadStations();
  const quillet::cli::PlanReading reading =
      quillet::cli::ReadPlanFile(line.planPath, stations, quillet::cli::TodayInChina());
  if (!reading.Ok()) {
    for (const auto& error : reading.errors) std::cerr << quillet::cli::DescribePlanError(error) << "\n";
    return kExitUsage;
  }
  if (line.mode == CommandLine::Mode::kCheck) {
    std::cout << quillet::cli::DescribePlan(reading.plan);
    return 0;
  }
  return Run(line, reading.plan);
}
