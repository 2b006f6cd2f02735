// quillet-grab: books what a plan file asks for, from a terminal or a script.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "assembly/assembly.h"
#include "cli/command_line.h"
#include "cli/event_output.h"
#include "cli/grab_run.h"
#include "cli/interruptible_input.h"
#include "cli/notifier_report_text.h"
#include "cli/notify_setup.h"
#include "cli/password.h"
#include "cli/plan_reader.h"
#include "cli/plan_sale_openings.h"
#include "cli/plan_summary.h"
#include "cli/plan_wishes.h"
#include "cli/private_folder.h"
#include "cli/qr_sign_in.h"
#include "cli/run_pacing.h"
#include "cli/signal_watcher.h"
#include "cli/stop_requests.h"
#include "cli/terminal_sign_in.h"
#include "cli/trains_command.h"
#include "cli/waitlist_run.h"
#include "cli/web_page.h"
#include "grab/sale_schedule.h"
#include "notify/notification_text.h"
#include "notify/notify_event.h"
#include "session/session.h"
#include "stations/station_directory.h"
#include "util/codepage.h"
#include "util/messages.h"
#include "util/text.h"

extern char** environ;

namespace {

using quillet::Session;
using quillet::cli::CommandLine;
using quillet::cli::GrabRun;
using quillet::cli::StopRequests;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitStopped = 3;

// A line on standard error. Texts from the service or the plan in it show
// their control characters as escapes.
int Fail(const std::string& message) {
  std::cerr << "quillet-grab: " << quillet::VisibleControls(message) << "\n";
  return kExitFailure;
}

// Text of several lines, each with its control characters shown as escapes.
std::string VisibleLines(const std::string& text) {
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    out += quillet::VisibleControls(std::string_view(text).substr(start, end - start));
    if (end == std::string::npos) break;
    out += '\n';
    start = end + 1;
  }
  return out;
}

int StoppedWhile(const StopRequests& stops, const std::string& doing) {
  std::cerr << "quillet-grab: stopped by " << quillet::cli::SignalName(stops.FirstSignal()) << " " << doing << "\n";
  return kExitStopped;
}

// Everything that hears the session's events. The run's own observer comes
// first: it writes the events and decides when the run ends; then the
// notifiers, which tell the person elsewhere.
void AddObservers(Session& session, GrabRun& run, quillet::SessionNotifier& told) {
  run.SetStatusReader([&session] { return session.Status(); });
  session.AddObserver(run);
  session.AddObserver(told);
}

quillet::cli::NotificationEvent NotificationOf(const std::string& notifier, const quillet::NotifyEvent& event,
                                               bool delivered, std::string reason) {
  return {delivered, notifier, std::string(quillet::EventName(event.kind)), event.train, event.date, std::move(reason)};
}

// "webhook (booked G101 on 2026-12-20), command (...)".
std::string DeliveryList(const std::vector<quillet::PendingDelivery>& deliveries) {
  std::string list;
  for (const quillet::PendingDelivery& delivery : deliveries) {
    if (!list.empty()) list += ", ";
    list += delivery.notifier + " (" + std::string(quillet::EventName(delivery.event.kind));
    if (!delivery.event.train.empty()) {
      list += " " + quillet::Utf8FromGbk(delivery.event.train) + " on " + quillet::Utf8FromGbk(delivery.event.date);
    }
    list += ")";
  }
  return quillet::VisibleControls(list);
}

// The end of every run: the workers first (a booking confirmed while closing
// is still told), then the notifications of bookings and manual checks get
// their whole schedule, unless another signal gives them up.
void EndRun(quillet::Assembly& assembly, const StopRequests& stops, quillet::cli::EventOutput& output) {
  quillet::DrainControl control;
  control.fullSchedule = true;
  control.abandon = stops.Nth(stops.Count() + 1);
  control.stillDelivering = [&output](const std::vector<quillet::PendingDelivery>& pending) {
    output.Finish();
    std::cerr << "quillet-grab: still delivering " << DeliveryList(pending) << "; Ctrl+C (or SIGTERM) gives them up\n";
  };
  const std::vector<quillet::PendingDelivery> givenUp = assembly.TakeDown(control);
  if (givenUp.empty()) return;
  for (const quillet::PendingDelivery& delivery : givenUp) {
    output.Write(NotificationOf(delivery.notifier, delivery.event, false, "given up at exit"));
  }
  output.Finish();
  std::cerr << "quillet-grab: not delivered: " << DeliveryList(givenUp) << "\n";
}

enum class SignInEnd { kSignedIn, kFailed, kStopped };

// Signs in with the password from QUILLET_PASSWORD or the terminal.
SignInEnd SignIn(Session& session, const std::string& account, quillet::cli::SignInIo& io, const StopRequests& stops) {
  const quillet::cli::PasswordResult password =
      quillet::cli::ReadPassword(std::getenv("QUILLET_PASSWORD"), account, "/dev/tty", stops.WakeFd());
  if (password.stopped || stops.Count() > 0) return SignInEnd::kStopped;
  if (!password.password) {
    Fail(password.error);
    return SignInEnd::kFailed;
  }
  const quillet::cli::SignInOutcome outcome = quillet::cli::SignInWithCaptcha(session, account, *password.password, io);
  if (outcome.stopped || stops.Count() > 0) return SignInEnd::kStopped;
  if (!outcome.signedIn) {
    Fail(outcome.error);
    return SignInEnd::kFailed;
  }
  return SignInEnd::kSignedIn;
}

// Signs in by QR code; no password is needed. After a lapse every new code is
// told through the plan's notifiers and a session_lapsed event, and a service
// that cannot make codes is waited for: nobody may be at the keyboard.
quillet::cli::QrSignInOutcome SignInByQr(Session& session, const StopRequests& stops, quillet::cli::EventOutput& output,
                                         quillet::NotifierSet& notifiers, quillet::cli::PrivateFolder& pictures,
                                         bool afterLapse, quillet::cli::WebPage* page) {
  const auto tell = [&](const quillet::cli::QrCodeShown& code) {
    if (page) page->Status().ShowQrCode(code.content);
    if (afterLapse) {
      output.Write(quillet::cli::SessionLapsedEvent{code.content, code.picturePath});
      quillet::NotifyEvent event;
      event.kind = quillet::NotifyEventKind::kSessionLapsed;
      event.qrContent = code.content;
      if (!code.picturePath.empty()) event.qrPicture = code.picturePath;
      if (page) event.pageUrl = page->Url();
      notifiers.Post(event);
    }
    output.Write(quillet::cli::QrCodeEvent{code.id, code.content, code.picturePath});
  };
  quillet::cli::QrSignInIo io{
      .prompts = std::cerr,
      .pictures = pictures,
      .draw = true,
      .colour = isatty(STDERR_FILENO) != 0,
      .onCode = tell,
      .stopRequested = [&stops] { return stops.Count() > 0; },
      .pollInterval = std::chrono::seconds(1),
      .creationAttempts = afterLapse ? 0 : 3,
      .creationRetryWait = std::chrono::seconds(10),
  };
  quillet::cli::QrSignInOutcome outcome = quillet::cli::SignInWithQr(session, io);
  if (!outcome.signedIn && !outcome.stopped) Fail(outcome.error);
  return outcome;
}

// After a stop, the workers end on their own: an order chain past its
// confirmation runs to its end and reports its outcome. A second signal
// closes them at once; a submitted order is then named on standard error.
void WaitForWorkers(Session& session, const StopRequests& stops) {
  const std::stop_token endNow = stops.Second();
  while (session.RunningWorkerCount() > 0 && !endNow.stop_requested()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  session.Close();
}

int StopGrabbing(Session& session, GrabRun& run, const StopRequests& stops, quillet::cli::EventOutput& output) {
  session.StopGrabbing();
  WaitForWorkers(session, stops);
  output.Write(quillet::cli::StoppedEvent{quillet::cli::SignalName(stops.FirstSignal())});
  output.Finish();
  return quillet::cli::ExitCodeOf(run, true);
}

int SignInAndGrab(const CommandLine& line, const quillet::cli::Plan& plan, quillet::Assembly& assembly,
                  Session& session, GrabRun& run, quillet::SessionNotifier& told, quillet::cli::EventOutput& output,
                  const StopRequests& stops, quillet::cli::PrivateFolder& pictures, quillet::cli::WaitlistRun& waitlist,
                  quillet::cli::WebPage* page) {
  quillet::NotifierSet& notifiers = assembly.Notifiers();
  const bool interactive = isatty(STDIN_FILENO) != 0;
  const bool byQr = plan.signIn == quillet::cli::SignInMethod::kQr;
  run.SetSignInMethod(byQr ? "qr" : "captcha");
  // The answers are read so that a signal ends the wait for them; the page's
  // answers come next to the terminal's, and whichever comes first is taken.
  quillet::cli::InterruptibleInput answers(STDIN_FILENO, stops.WakeFd(), page ? page->AnswerFd() : -1);
  quillet::cli::SignInIo io{answers, std::cerr,       interactive,  !line.captchaCells,
                            environ, pictures.Path(), stops.First()};
  if (page) io.onPicture = [page](const std::string& jpeg) { page->ShowCaptcha(jpeg); };
  if (byQr) {
    const quillet::cli::QrSignInOutcome outcome = SignInByQr(session, stops, output, notifiers, pictures, false, page);
    if (outcome.stopped) return StoppedWhile(stops, "during the sign-in");
    if (!outcome.signedIn) return kExitFailure;
  } else {
    switch (SignIn(session, plan.account, io, stops)) {
      case SignInEnd::kSignedIn:
        break;
      case SignInEnd::kFailed:
        return kExitFailure;
      case SignInEnd::kStopped:
        return StoppedWhile(stops, "during the sign-in");
    }
  }
  output.Write(quillet::cli::SignedInEvent{byQr ? "qr" : "captcha"});

  const quillet::PassengersResult passengers = session.LoadPassengers(stops.First());
  if (stops.Count() > 0) return StoppedWhile(stops, "before grabbing");
  if (!passengers.Done()) {
    return Fail(quillet::Format(_("cannot load the account's passengers: %s"),
                                quillet::cli::SignInFailureText(passengers, passengers.decidedBy)));
  }
  const quillet::cli::PlanWishes wishes = quillet::cli::WishesForPlan(plan, passengers.passengers);
  if (!wishes.Ok()) {
    std::string names;
    for (const std::string& name : wishes.unknownNames)
      names += (names.empty() ? "" : ", ") + quillet::Utf8FromGbk(name);
    if (!names.empty()) return Fail(quillet::Format(_("the account has no passenger named %s"), names));
    std::string problems;
    for (const std::string& problem : wishes.ticketProblems) problems += (problems.empty() ? "" : "; ") + problem;
    return Fail(problems);
  }
  std::vector<quillet::OrderWish> orderWishes = wishes.wishes;
  waitlist.Prepare(session.Client(), plan, orderWishes);
  run.SetBeforeBooked([&waitlist](std::size_t wishIndex) { waitlist.BeforeBooked(wishIndex); });
  run.SetSeatReader([&session, &stops](const quillet::OrderReport& order) {
    return session.Client().QueryOrderSeats(order.orderId, stops.Second()).seats;
  });
  for (std::size_t i = 0; i < plan.wishes.size(); ++i) {
    for (const quillet::cli::PlanWish::SaleOpening& row : plan.wishes[i].saleOpenings) {
      output.Write(quillet::cli::SaleOpeningEvent{static_cast<int>(i) + 1, row.date, row.station.name,
                                                  row.station.telecode, row.opening});
    }
  }
  bool waitsForASale = false;
  for (const quillet::OrderWish& wish : orderWishes) {
    waitsForASale = waitsForASale || (wish.startAt && *wish.startAt > std::chrono::system_clock::now());
    session.AddWish(wish);
  }
  // One estimate of the service's clock for sale openings and the service's hours.
  const auto serviceClock = assembly.ServiceClock([&output, page](const quillet::ServiceClockNote& note) {
    output.Write(quillet::cli::ClockEvent{note});
    if (page) page->Status().SetClock(note);
  });
  if (waitsForASale) session.SetWishScheduleFactory(assembly.SaleScheduleFactory());
  const auto pacer = quillet::cli::MakeRunPacer(plan, serviceClock, output, notifiers);
  session.SetQueryPacer(pacer);
  AddObservers(session, run, told);

  session.StartGrabbing();
  waitlist.Start();
  const auto keepAlive = quillet::cli::MakeKeepAlive(session, pacer);
  for (;;) {
    const GrabRun::Wake wake = run.WaitForChange();
    if (wake == GrabRun::Wake::kAllEnded) break;
    if (wake == GrabRun::Wake::kSignal) return StopGrabbing(session, run, stops, output);
    // A lapsed session: the workers wait for a new sign-in.
    output.Finish();
    if (byQr) {
      // With or without a terminal: the person scans the new code wherever
      // the notifiers reach them, and grabbing goes on by itself.
      std::cerr << _("The service no longer knows the sign-in; scan the new QR code to go on.") << "\n";
      const quillet::cli::QrSignInOutcome outcome = SignInByQr(session, stops, output, notifiers, pictures, true, page);
      if (outcome.signedIn) continue;
      if (outcome.stopped) return StopGrabbing(session, run, stops, output);
      session.StopGrabbing();
      WaitForWorkers(session, stops);
      output.Finish();
      return kExitFailure;
    }
    if (!interactive && !page) {
      session.StopGrabbing();
      WaitForWorkers(session, stops);
      output.Write(quillet::cli::StoppedEvent{N_("session lapsed")});
      output.Finish();
      if (run.AllEnded()) return quillet::cli::ExitCodeOf(run, false);
      return Fail(
          _("the service no longer knows the sign-in (the session lapsed); without a terminal it cannot "
            "sign in again, so the run ends"));
    }
    std::cerr << _("The service no longer knows the sign-in; sign in again to go on.") << "\n";
    switch (SignIn(session, plan.account, io, stops)) {
      case SignInEnd::kSignedIn:
        break;
      case SignInEnd::kFailed:
        session.StopGrabbing();
        WaitForWorkers(session, stops);
        return kExitFailure;
      case SignInEnd::kStopped:
        return StopGrabbing(session, run, stops, output);
    }
  }
  session.StopGrabbing();
  WaitForWorkers(session, stops);
  output.Finish();
  return quillet::cli::ExitCodeOf(run, false);
}

int Run(const CommandLine& line, const quillet::cli::Plan& plan) {
  const quillet::cli::WebPageChoice webChoice =
      quillet::cli::ChooseWebPage(line, plan, std::getenv("QUILLET_WEB_TOKEN"));
  if (!webChoice.error.empty()) {
    Fail(webChoice.error);
    return kExitUsage;
  }
  // Captcha pictures stay where only this user can look, and go at exit.
  quillet::cli::PrivateFolder pictures(std::getenv("XDG_RUNTIME_DIR"), std::getenv("TMPDIR"));
  // A second signal ends the program within two seconds whatever it is doing.
  StopRequests stops([&pictures] {
    quillet::cli::RestoreTerminalOfPasswordPrompt();
    pictures.RemoveNow();
    static constexpr char kLine[] = "\nquillet-grab: ended by a second signal\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kLine, sizeof kLine - 1);
    ::_exit(kExitStopped);
  });
  // The output and the run outlive the program's assembly, whose sessions'
  // workers and notifiers tell them.
  quillet::cli::EventOutput output(
      std::cout, line.json ? quillet::cli::EventOutput::Format::kJson : quillet::cli::EventOutput::Format::kText,
      isatty(STDOUT_FILENO) != 0);
  GrabRun run(output, plan.wishes.size());
  run.AcceptSignals(true);
  quillet::Assembly assembly(quillet::cli::PlanProgramSettings(plan, line));
  quillet::NotifierHooks hooks;
  hooks.report = [&output](const quillet::NotifierReport& report) {
    output.Write(NotificationOf(report.notifier, report.event, report.outcome == quillet::DeliveryOutcome::kDelivered,
                                quillet::GbkFromUtf8(quillet::cli::NotifierFailureText(report.failure))));
  };
  assembly.StartNotifiers(std::move(hooks));
  Session& session = assembly.AddSession();
  // A QR run tells of a lapse itself, with the code to scan.
  quillet::SessionNotifier& told = assembly.NotifierFor(session, plan.signIn != quillet::cli::SignInMethod::kQr);
  quillet::cli::SignalWatcher signals([&stops, &run](int signalNumber) {
    stops.Take(signalNumber);
    run.TakeSignal(signalNumber);
    return true;
  });
  if (pictures.Path().empty() && !line.captchaCells) Fail(pictures.Error());

  // The page stops the run as Ctrl+C does: through the signal watcher.
  std::unique_ptr<quillet::cli::WebPage> page;
  if (webChoice.settings) {
    page = std::make_unique<quillet::cli::WebPage>(*webChoice.settings, session, [] { ::kill(::getpid(), SIGINT); });
    if (std::string error; !page->Start(error)) return Fail(quillet::Format(_("cannot serve the page: %s"), error));
    if (!webChoice.warning.empty()) std::cerr << "quillet-grab: " << webChoice.warning << "\n";
    std::cerr << "quillet-grab: " << quillet::Format(_("the page: %s"), page->UrlWithToken()) << "\n";
    session.AddObserver(page->Status());
    output.SetLineTee([status = &page->Status()](const std::string& text) { status->AddLine(text); });
    told.SetPageUrl(page->Url());
  }

  // A filled waitlist order is told like a grab booking, to the same notifiers.
  quillet::cli::WaitlistRun waitlist(output, run, told);
  if (page) {
    waitlist.SetPlaceListener(
        [status = &page->Status()](std::size_t wishIndex, const std::string& reserveNo, const char* state) {
          status->SetWaitlist(wishIndex, {reserveNo, state});
        });
  }
  const int code =
      SignInAndGrab(line, plan, assembly, session, run, told, output, stops, pictures, waitlist, page.get());
  waitlist.Stop();  // an open waitlist order stays at the service
  EndRun(assembly, stops, output);
  if (page) {
    output.SetLineTee({});
    session.RemoveObserver(page->Status());
  }
  return code;
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

  const quillet::cli::PlanReading reading =
      quillet::cli::ReadPlanFile(line.planPath, *quillet::BuiltInStations(), quillet::cli::TodayInChina());
  if (!reading.Ok()) {
    for (const auto& error : reading.errors) std::cerr << VisibleLines(quillet::cli::DescribePlanError(error)) << "\n";
    return kExitUsage;
  }
  // start_at = "sale": the service's table of sale openings, read once.
  quillet::cli::Plan plan = reading.plan;
  const std::string saleProblem = quillet::cli::ApplySaleOpenings(plan, std::chrono::system_clock::now());
  if (line.mode == CommandLine::Mode::kCheck) {
    std::cout << VisibleLines(quillet::cli::DescribePlan(plan));
    return saleProblem.empty() ? 0 : Fail(saleProblem);
  }
  if (!saleProblem.empty()) return Fail(saleProblem);
  return Run(line, plan);
}
