// quillet-grab: books what a plan file asks for, from a terminal or a script.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "assembly/assembly.h"
#include "cli/command_line.h"
#include "cli/event_output.h"
#include "cli/fleet_setup.h"
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
#include "fleet/fleet_member.h"
#include "fleet/fleet_store.h"
#include "grab/sale_schedule.h"
#include "notify/notification_text.h"
#include "notify/notify_event.h"
#include "session/session.h"
#include "stations/station_directory.h"
#include "util/codepage.h"
#include "util/messages.h"
#include "util/text.h"
#include "util/wait.h"

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

constexpr int kGoOn = -1;

// What every account's part of the run shares.
struct RunContext {
  const CommandLine& line;
  quillet::Assembly& assembly;
  const StopRequests& stops;
  quillet::cli::EventOutput& output;  // lines of no account in particular
  quillet::cli::PrivateFolder& pictures;
  quillet::cli::WebPage* page;
  quillet::cli::SignInIo& io;
  bool interactive;
  // A fleet's member: its view of Redis and its id; none without a fleet.
  std::shared_ptr<quillet::fleet::FleetStore> fleet;
  std::string memberId;
  std::string sourceAddress;
};

// One account's part of the run.
struct AccountRun {
  quillet::cli::Plan plan;  // as the account sees it
  std::unique_ptr<quillet::cli::EventOutput> labelled;
  quillet::cli::EventOutput* output = nullptr;  // the account's lines
  std::unique_ptr<GrabRun> run;
  Session* session = nullptr;
  quillet::SessionNotifier* told = nullptr;
  std::unique_ptr<quillet::cli::WaitlistRun> waitlist;
  std::unique_ptr<quillet::KeepAlive> keepAlive;
  std::unique_ptr<quillet::fleet::FleetMember> member;  // in a fleet
  // A fleet's member that does not hold the account: the passengers its holder stored.
  std::optional<std::vector<quillet::PassengerRecord>> fleetPassengers;
  bool ended = false;
};

std::string AccountName(const AccountRun& account) { return quillet::Utf8FromGbk(account.plan.account); }

// "[name] " before a message about one account of several; nothing with one.
std::string AccountPrefix(const AccountRun& account) {
  return account.labelled ? "[" + AccountName(account) + "] " : std::string();
}

bool ByQr(const AccountRun& account) { return account.plan.signIn == quillet::cli::SignInMethod::kQr; }

int SignInAccount(RunContext& context, AccountRun& account) {
  if (ByQr(account)) {
    const quillet::cli::QrSignInOutcome outcome =
        SignInByQr(*account.session, context.stops, *account.output, context.assembly.Notifiers(), context.pictures,
                   false, context.page);
    if (outcome.stopped) return StoppedWhile(context.stops, "during the sign-in");
    if (!outcome.signedIn) return kExitFailure;
  } else {
    switch (SignIn(*account.session, account.plan.account, context.io, context.stops)) {
      case SignInEnd::kSignedIn:
        break;
      case SignInEnd::kFailed:
        return kExitFailure;
      case SignInEnd::kStopped:
        return StoppedWhile(context.stops, "during the sign-in");
    }
  }
  account.output->Write(quillet::cli::SignedInEvent{ByQr(account) ? "qr" : "captcha"});
  return kGoOn;
}

// In a fleet an account signs in once, by the member that holds its lease:
// with the sign-in stored in Redis while the service knows it, else on the
// terminal (or by QR code), and it stores the sign-in and the passengers for
// the others. A member that does not hold the account never signs in: it
// builds its wishes from the stored passengers, queries and tells.
int FleetSignInAccount(RunContext& context, AccountRun& account) {
  quillet::fleet::FleetStore& store = *context.fleet;
  Session& session = *account.session;
  const std::string& name = account.plan.account;
  bool waitingSaid = false;
  while (context.stops.Count() == 0) {
    const quillet::fleet::LeaseResult lease = store.TakeLease(name, context.memberId);
    if (lease.state == quillet::fleet::LeaseState::kHeld) {
      if (store.LoadSignIn(name, session.Client().Cookies())) {
        session.UseSignInFromElsewhere(name);
        if (session.LoadPassengers(context.stops.First()).Done()) {
          account.output->Write(quillet::cli::SignedInEvent{"fleet"});
          return kGoOn;
        }
        session.Client().Cookies().SetText({});
      }
      int code = kGoOn;
      {
        // A sign-in on the terminal may take longer than the lease lives:
        // it is renewed meanwhile, so that no other member signs in too.
        const std::jthread renewal([&store, &name, &context](const std::stop_token& stop) {
          while (quillet::WaitUnlessStopped(stop, store.Timings().renewEvery)) {
            store.RenewLease(name, context.memberId);
          }
        });
        code = SignInAccount(context, account);
      }
      if (code != kGoOn) {
        store.ReleaseLease(name, context.memberId);
        return code;
      }
      store.StoreSignIn(name, session.Client().Cookies());
      return kGoOn;
    }
    const quillet::fleet::StoredPassengersResult stored = store.ReadPassengers(name);
    if (stored.passengers) {
      account.fleetPassengers = quillet::cli::PassengersFromText(*stored.passengers);
      if (account.fleetPassengers) {
        std::cerr << AccountPrefix(account)
                  << quillet::Format(_("the account is held by %s in the fleet; this member queries and tells"),
                                     lease.holder)
                  << "\n";
        return kGoOn;
      }
    }
    if (!waitingSaid) {
      std::cerr << AccountPrefix(account)
                << quillet::Format(_("waiting for the account's holder in the fleet (%s) to sign in"), lease.holder)
                << "\n";
      waitingSaid = true;
    }
    quillet::WaitUnlessStopped(context.stops.First(), std::chrono::seconds(1));
  }
  return StoppedWhile(context.stops, "during the sign-in");
}

// The account's wishes, pacing and observers, ready to start grabbing.
int PrepareGrabbing(RunContext& context, AccountRun& account,
                    const std::shared_ptr<quillet::SharedServiceClock>& serviceClock) {
  Session& session = *account.session;
  const quillet::cli::Plan& plan = account.plan;
  const StopRequests& stops = context.stops;
  std::vector<quillet::PassengerRecord> records;
  if (account.fleetPassengers) {
    records = *account.fleetPassengers;
  } else {
    const quillet::PassengersResult passengers = session.LoadPassengers(stops.First());
    if (stops.Count() > 0) return StoppedWhile(stops, "before grabbing");
    if (!passengers.Done()) {
      return Fail(quillet::Format(_("cannot load the account's passengers: %s"),
                                  quillet::cli::SignInFailureText(passengers, passengers.decidedBy)));
    }
    records = passengers.passengers;
    if (context.fleet) context.fleet->StorePassengers(plan.account, quillet::cli::PassengersText(records));
  }
  const quillet::cli::PlanWishes wishes = quillet::cli::WishesForPlan(plan, records);
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
  quillet::cli::WaitlistRun& waitlist = *account.waitlist;
  GrabRun& run = *account.run;
  waitlist.Prepare(session.Client(), plan, orderWishes);
  run.SetBeforeBooked([&waitlist](std::size_t wishIndex) { waitlist.BeforeBooked(wishIndex); });
  run.SetSeatReader([&session, &stops, page = context.page](const quillet::OrderReport& order) {
    std::vector<quillet::BookedSeat> seats = session.Client().QueryOrderSeats(order.orderId, stops.Second()).seats;
    if (page && !seats.empty()) page->Status().SetPayBy(order.orderId, seats.front().payBy);
    return seats;
  });
  for (std::size_t i = 0; i < plan.wishes.size(); ++i) {
    for (const quillet::cli::PlanWish::SaleOpening& row : plan.wishes[i].saleOpenings) {
      account.output->Write(quillet::cli::SaleOpeningEvent{static_cast<int>(i) + 1, row.date, row.station.name,
                                                           row.station.telecode, row.opening});
    }
  }
  bool waitsForASale = false;
  for (const quillet::OrderWish& wish : orderWishes) {
    waitsForASale = waitsForASale || (wish.startAt && *wish.startAt > std::chrono::system_clock::now());
    session.AddWish(wish);
  }
  if (waitsForASale) session.SetWishScheduleFactory(context.assembly.SaleScheduleFactory());
  const auto pacer = quillet::cli::MakeRunPacer(plan, serviceClock, *account.output, context.assembly.Notifiers());
  session.SetQueryPacer(pacer);
  AddObservers(session, run, *account.told);
  account.keepAlive = quillet::cli::MakeKeepAlive(session, pacer);
  if (context.fleet) {
    quillet::fleet::FleetMemberSettings settings;
    settings.member = context.memberId;
    settings.address = context.sourceAddress;
    settings.account = plan.account;
    for (std::size_t w = 0; w < orderWishes.size(); ++w) {
      settings.wishNames.push_back(quillet::cli::FleetWishName(plan.account, w));
    }
    quillet::fleet::FleetMemberReport report;
    const std::string prefix = AccountPrefix(account);
    report.leaseChanged = [prefix](bool held) {
      std::cerr << prefix
                << (held ? _("this member now holds the account and orders for it")
                         : _("this member no longer holds the account; it only queries and tells"))
                << "\n";
    };
    // Taking the account over with no sign-in stored (Redis came back
    // empty): asked for as after a lapse.
    report.needsSignIn = [&run, name = plan.account] { run.OnSessionLapsed(quillet::SessionLapse{{}, name}); };
    // The plan's budget is the account's: the members query as one machine would.
    report.sharedBy = [pacer](std::size_t members) { pacer->ShareBudget(members); };
    account.member =
        std::make_unique<quillet::fleet::FleetMember>(session, context.fleet, std::move(settings), std::move(report));
  }
  return kGoOn;
}

std::vector<const GrabRun*> RunsOf(const std::vector<std::unique_ptr<AccountRun>>& accounts) {
  std::vector<const GrabRun*> runs;
  for (const auto& account : accounts) runs.push_back(account->run.get());
  return runs;
}

// Every account's workers stop; an order chain past its confirmation runs to
// its end (see WaitForWorkers).
void StopAll(std::vector<std::unique_ptr<AccountRun>>& accounts, const StopRequests& stops) {
  for (auto& account : accounts) account->session->StopGrabbing();
  for (auto& account : accounts) WaitForWorkers(*account->session, stops);
}

int StopGrabbing(std::vector<std::unique_ptr<AccountRun>>& accounts, RunContext& context) {
  StopAll(accounts, context.stops);
  context.output.Write(quillet::cli::StoppedEvent{quillet::cli::SignalName(context.stops.FirstSignal())});
  context.output.Finish();
  return quillet::cli::ExitCodeOf(RunsOf(accounts), true);
}

// A lapsed session of one account: the workers wait for a new sign-in.
// kGoOn once it is signed in again; otherwise the run's exit code.
int SignInAgain(RunContext& context, std::vector<std::unique_ptr<AccountRun>>& accounts, AccountRun& account) {
  const StopRequests& stops = context.stops;
  account.output->Finish();
  if (ByQr(account)) {
    // With or without a terminal: the person scans the new code wherever
    // the notifiers reach them, and grabbing goes on by itself.
    std::cerr << AccountPrefix(account) << _("The service no longer knows the sign-in; scan the new QR code to go on.")
              << "\n";
    const quillet::cli::QrSignInOutcome outcome = SignInByQr(
        *account.session, stops, *account.output, context.assembly.Notifiers(), context.pictures, true, context.page);
    if (outcome.signedIn) return kGoOn;
    if (outcome.stopped) return StopGrabbing(accounts, context);
    StopAll(accounts, stops);
    context.output.Finish();
    return kExitFailure;
  }
  if (!context.interactive && !context.page) {
    StopAll(accounts, stops);
    account.output->Write(quillet::cli::StoppedEvent{N_("session lapsed")});
    context.output.Finish();
    const std::vector<const GrabRun*> runs = RunsOf(accounts);
    if (std::all_of(runs.begin(), runs.end(), [](const GrabRun* run) { return run->AllEnded(); })) {
      return quillet::cli::ExitCodeOf(runs, false);
    }
    return Fail(
        _("the service no longer knows the sign-in (the session lapsed); without a terminal it cannot "
          "sign in again, so the run ends"));
  }
  std::cerr << AccountPrefix(account) << _("The service no longer knows the sign-in; sign in again to go on.") << "\n";
  switch (SignIn(*account.session, account.plan.account, context.io, stops)) {
    case SignInEnd::kSignedIn:
      return kGoOn;
    case SignInEnd::kFailed:
      StopAll(accounts, stops);
      return kExitFailure;
    case SignInEnd::kStopped:
      return StopGrabbing(accounts, context);
  }
  return kExitFailure;
}

// A fleet's run ends well when every wish was booked, by whichever member.
int FleetExitCode(quillet::fleet::FleetStore& store, const std::vector<std::unique_ptr<AccountRun>>& accounts) {
  bool allBooked = true;
  bool anyManualCheck = false;
  for (const auto& account : accounts) {
    for (std::size_t w = 0; w < account->plan.wishes.size(); ++w) {
      const quillet::fleet::OutcomeResult outcome =
          store.ReadOutcome(quillet::cli::FleetWishName(account->plan.account, w));
      const bool booked = outcome.outcome && outcome.outcome->kind == quillet::fleet::WishOutcomeKind::kBooked;
      allBooked = allBooked && booked;
      anyManualCheck = anyManualCheck || (outcome.outcome && !booked);
    }
  }
  if (allBooked) return 0;
  return anyManualCheck ? 4 : kExitFailure;
}

// Several accounts that sign in by QR code do so together, their codes
// side by side, so that nobody waits for one scan before the next code.
int SignInTogetherByQr(RunContext& context, const std::vector<AccountRun*>& accounts) {
  std::vector<quillet::cli::QrAccount> qr;
  std::string names;
  for (AccountRun* account : accounts) {
    quillet::cli::EventOutput* output = account->output;
    qr.push_back({AccountName(*account), account->session, [output](const quillet::cli::QrCodeShown& code) {
                    output->Write(quillet::cli::QrCodeEvent{code.id, code.content, code.picturePath});
                  }});
    names += (names.empty() ? "" : ", ") + AccountName(*account);
  }
  std::cerr << quillet::Format(_("Signing in %s"), names) << "\n";
  quillet::cli::QrSignInIo io{
      .prompts = std::cerr,
      .pictures = context.pictures,
      .draw = true,
      .colour = isatty(STDERR_FILENO) != 0,
      .onCode = {},
      .stopRequested = [&context] { return context.stops.Count() > 0; },
      .pollInterval = std::chrono::seconds(1),
      .creationAttempts = 3,
      .creationRetryWait = std::chrono::seconds(10),
  };
  const quillet::cli::QrSignInOutcome outcome = quillet::cli::SignInAllWithQr(qr, io);
  if (outcome.stopped) return StoppedWhile(context.stops, "during the sign-in");
  if (!outcome.signedIn) {
    Fail(outcome.error);
    return kExitFailure;
  }
  for (AccountRun* account : accounts) account->output->Write(quillet::cli::SignedInEvent{"qr"});
  return kGoOn;
}

// Signs every account in, one after another (those by QR code together,
// after the others), then grabs for all of them until every wish of every
// account has ended.
int SignInAndGrab(RunContext& context, std::vector<std::unique_ptr<AccountRun>>& accounts) {
  std::vector<AccountRun*> byQr;
  for (auto& account : accounts) {
    if (ByQr(*account) && !context.fleet) byQr.push_back(account.get());
  }
  const bool qrTogether = byQr.size() > 1;
  for (auto& account : accounts) {
    account->run->SetSignInMethod(ByQr(*account) ? "qr" : "captcha");
    if (qrTogether && ByQr(*account)) continue;
    if (accounts.size() > 1) std::cerr << quillet::Format(_("Signing in %s"), AccountName(*account)) << "\n";
    const int code = context.fleet ? FleetSignInAccount(context, *account) : SignInAccount(context, *account);
    if (code != kGoOn) return code;
  }
  if (qrTogether) {
    if (const int code = SignInTogetherByQr(context, byQr); code != kGoOn) return code;
  }
  // One estimate of the service's clock for sale openings and the service's hours.
  quillet::cli::WebPage* page = context.page;
  quillet::cli::EventOutput& output = context.output;
  const auto serviceClock = context.assembly.ServiceClock([&output, page](const quillet::ServiceClockNote& note) {
    output.Write(quillet::cli::ClockEvent{note});
    if (page) page->Status().SetClock(note);
  });
  for (auto& account : accounts) {
    if (const int code = PrepareGrabbing(context, *account, serviceClock); code != kGoOn) return code;
  }
  for (auto& account : accounts) {
    if (account->member) {
      account->member->Start();  // grabs as the account's holder or as a member that queries and tells
    } else {
      account->session->StartGrabbing();
    }
    account->waitlist->Start();
  }
  const auto allEnded = [&accounts] {
    return std::all_of(accounts.begin(), accounts.end(), [](const auto& account) { return account->ended; });
  };
  const auto wait = std::chrono::milliseconds(accounts.size() > 1 || context.fleet ? 50 : 3600 * 1000);
  while (!allEnded()) {
    for (auto& account : accounts) {
      if (account->ended) continue;
      std::optional<GrabRun::Wake> wake = account->run->WaitForChangeFor(wait);
      // In a fleet a wish may end elsewhere: every member ends once all have.
      if (!wake && account->member && account->member->AllDone()) wake = GrabRun::Wake::kAllEnded;
      if (!wake) continue;
      if (*wake == GrabRun::Wake::kSignal) return StopGrabbing(accounts, context);
      if (*wake == GrabRun::Wake::kAllEnded) {
        account->session->StopGrabbing();
        WaitForWorkers(*account->session, context.stops);
        account->ended = true;
        continue;
      }
      if (const int code = SignInAgain(context, accounts, *account); code != kGoOn) return code;
    }
  }
  output.Finish();
  if (context.fleet) return FleetExitCode(*context.fleet, accounts);
  return quillet::cli::ExitCodeOf(RunsOf(accounts), false);
}

int Run(const CommandLine& line, const quillet::cli::Plan& plan) {
  const quillet::cli::WebPageChoice webChoice =
      quillet::cli::ChooseWebPage(line, plan, std::getenv("QUILLET_WEB_TOKEN"));
  if (!webChoice.error.empty()) {
    Fail(webChoice.error);
    return kExitUsage;
  }
  const quillet::cli::FleetChoice fleetChoice =
      quillet::cli::ChooseFleet(line, plan, std::getenv("QUILLET_REDIS_PASSWORD"));
  if (!fleetChoice.error.empty()) {
    Fail(fleetChoice.error);
    return kExitUsage;
  }
  std::shared_ptr<quillet::fleet::FleetStore> fleet;
  if (fleetChoice.address) {
    fleet = std::make_shared<quillet::fleet::FleetStore>(*fleetChoice.address, fleetChoice.name);
    if (const quillet::fleet::RedisFailure failure = fleet->Ping(); failure != quillet::fleet::RedisFailure::kNone) {
      return Fail(quillet::Format(_("cannot reach the fleet's Redis at %s: %s"), fleetChoice.where,
                                  quillet::cli::RedisFailureText(failure)));
    }
  }
  if (webChoice.settings && plan.accounts.size() > 1) {
    Fail(_("the page follows a plan of one account; leave out [web] and --web for several accounts"));
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
  // The output and the runs outlive the program's assembly, whose sessions'
  // workers and notifiers tell them.
  quillet::cli::EventOutput output(
      std::cout, line.json ? quillet::cli::EventOutput::Format::kJson : quillet::cli::EventOutput::Format::kText,
      isatty(STDOUT_FILENO) != 0);
  std::vector<std::unique_ptr<AccountRun>> accounts;
  for (std::size_t i = 0; i < plan.accounts.size(); ++i) {
    auto account = std::make_unique<AccountRun>();
    account->plan = quillet::cli::PlanOfAccount(plan, i);
    if (plan.accountTables) {
      account->labelled = std::make_unique<quillet::cli::EventOutput>(output, account->plan.account);
    }
    account->output = account->labelled ? account->labelled.get() : &output;
    account->run = std::make_unique<GrabRun>(*account->output, account->plan.wishes.size());
    account->run->AcceptSignals(true);
    accounts.push_back(std::move(account));
  }
  quillet::Assembly assembly(quillet::cli::PlanProgramSettings(plan, line));
  quillet::NotifierHooks hooks;
  const bool nameAccounts = plan.accountTables;
  hooks.report = [&output, nameAccounts](const quillet::NotifierReport& report) {
    const quillet::cli::Event event =
        NotificationOf(report.notifier, report.event, report.outcome == quillet::DeliveryOutcome::kDelivered,
                       quillet::GbkFromUtf8(quillet::cli::NotifierFailureText(report.failure)));
    if (!nameAccounts || report.event.account.empty()) return output.Write(event);
    quillet::cli::EventOutput(output, report.event.account).Write(event);
  };
  assembly.StartNotifiers(std::move(hooks));
  for (auto& account : accounts) {
    quillet::SessionSettings settings;
    account->session = &assembly.AddSession(settings);
    if (!fleetChoice.sourceAddress.empty()) account->session->Client().SetSourceAddress(fleetChoice.sourceAddress);
    // A QR run tells of a lapse itself, with the code to scan.
    account->told = &assembly.NotifierFor(*account->session, !ByQr(*account));
    account->told->SetNameAccount(plan.accountTables);
    account->waitlist = std::make_unique<quillet::cli::WaitlistRun>(*account->output, *account->run, *account->told);
  }
  quillet::cli::SignalWatcher signals([&stops, &accounts](int signalNumber) {
    stops.Take(signalNumber);
    for (auto& account : accounts) account->run->TakeSignal(signalNumber);
    return true;
  });
  if (pictures.Path().empty() && !line.captchaCells) Fail(pictures.Error());

  // The page stops the run as Ctrl+C does: through the signal watcher.
  Session& first = *accounts.front()->session;
  std::unique_ptr<quillet::cli::WebPage> page;
  if (webChoice.settings) {
    page = std::make_unique<quillet::cli::WebPage>(*webChoice.settings, first, [] { ::kill(::getpid(), SIGINT); });
    if (std::string error; !page->Start(error)) return Fail(quillet::Format(_("cannot serve the page: %s"), error));
    if (!webChoice.warning.empty()) std::cerr << "quillet-grab: " << webChoice.warning << "\n";
    std::cerr << "quillet-grab: " << quillet::Format(_("the page: %s"), page->UrlWithToken()) << "\n";
    first.AddObserver(page->Status());
    output.SetLineTee([status = &page->Status()](const std::string& text) { status->AddLine(text); });
    accounts.front()->told->SetPageUrl(page->Url());
  }

  // The answers are read so that a signal ends the wait for them; the page's
  // answers come next to the terminal's, and whichever comes first is taken.
  quillet::cli::InterruptibleInput answers(STDIN_FILENO, stops.WakeFd(), page ? page->AnswerFd() : -1);
  quillet::cli::SignInIo io{answers,         std::cerr,    isatty(STDIN_FILENO) != 0, !line.captchaCells, environ,
                            pictures.Path(), stops.First()};
  if (page) io.onPicture = [p = page.get()](const std::string& jpeg) { p->ShowCaptcha(jpeg); };
  RunContext context{line,
                     assembly,
                     stops,
                     output,
                     pictures,
                     page.get(),
                     io,
                     isatty(STDIN_FILENO) != 0,
                     fleet,
                     quillet::cli::FleetMemberId(),
                     fleetChoice.sourceAddress};
  const int code = SignInAndGrab(context, accounts);
  // Members first: they give their leases back and stop reading the fleet.
  for (auto& account : accounts) account->member.reset();
  for (auto& account : accounts) {
    account->waitlist->Stop();  // an open waitlist order stays at the service
    account->keepAlive.reset();
  }
  EndRun(assembly, stops, output);
  if (page) {
    output.SetLineTee({});
    first.RemoveObserver(page->Status());
  }
  return code;
}

int FleetStatus(const CommandLine& line, const quillet::cli::Plan& plan) {
  const quillet::cli::FleetChoice choice = quillet::cli::ChooseFleet(line, plan, std::getenv("QUILLET_REDIS_PASSWORD"));
  if (!choice.error.empty()) {
    Fail(choice.error);
    return kExitUsage;
  }
  if (!choice.address) {
    Fail(_("the plan names no fleet: give --fleet or [fleet]"));
    return kExitUsage;
  }
  quillet::fleet::FleetStore store(*choice.address, choice.name);
  const quillet::fleet::StatusResult status = store.ReadStatus();
  if (status.failure != quillet::fleet::RedisFailure::kNone) {
    return Fail(quillet::Format(_("cannot reach the fleet's Redis at %s: %s"), choice.where,
                                quillet::cli::RedisFailureText(status.failure)));
  }
  std::cout << quillet::Format(_("Fleet %s at %s"), choice.name, choice.where) << "\n"
            << quillet::cli::FleetStatusText(status.status, plan, quillet::fleet::UnixMsNow());
  return 0;
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
  std::string saleProblem;
  for (std::size_t i = 0; i < plan.accounts.size() && saleProblem.empty(); ++i) {
    quillet::cli::Plan ofAccount = quillet::cli::PlanOfAccount(plan, i);
    saleProblem = quillet::cli::ApplySaleOpenings(ofAccount, std::chrono::system_clock::now());
    plan.accounts[i].wishes = std::move(ofAccount.wishes);
  }
  plan.wishes = plan.accounts.empty() ? plan.wishes : plan.accounts.front().wishes;
  if (line.mode == CommandLine::Mode::kFleetStatus) return FleetStatus(line, plan);
  if (line.mode == CommandLine::Mode::kCheck) {
    std::cout << VisibleLines(quillet::cli::DescribePlan(plan));
    return saleProblem.empty() ? 0 : Fail(saleProblem);
  }
  if (!saleProblem.empty()) return Fail(saleProblem);
  return Run(line, plan);
}
