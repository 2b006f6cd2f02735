// quillet-sim: a rehearsal booking service on loopback.
#include <QGuiApplication>
#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include <pthread.h>
#include <sys/resource.h>

#include "booking_service.h"
#include "china_time.h"
#include "options.h"
#include "sim_server.h"
#include "util/messages.h"

using quillet::sim::BookingService;
using quillet::sim::Options;
using quillet::sim::SimServer;

// Read by ThreadSanitizer only. The Debian cpp-httplib library is not
// instrumented: its function-local statics are guarded by inline atomic
// loads the sanitizer cannot see, which it reports as races between worker
// threads. Memory accesses that the library itself makes are therefore not
// checked; the service's own code stays fully checked.
extern "C" const char* __tsan_default_suppressions() { return "called_from_lib:libcpp-httplib.so\n"; }

namespace {
// Qt's notes (a missing XDG_RUNTIME_DIR and the like) are of no use to a
// service that only draws pictures; only its errors are worth showing.
void QtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::fprintf(stderr, "quillet-sim: Qt: %s\n", message.toLocal8Bit().constData());
  }
}
}  // namespace

int main(int argc, char** argv) {
  quillet::SetUpMessages();
  Options options;
  std::string error;
  if (!quillet::sim::ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "quillet-sim: %s\n%s\n", error.c_str(), _("Try 'quillet-sim --help' for the options."));
    return 2;
  }
  if (options.help) {
    std::fputs(quillet::sim::UsageText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::fputs(quillet::sim::VersionText().c_str(), stdout);
    return 0;
  }

  // A client that goes away mid-answer must not end the service; INT and
  // TERM are taken by a thread of their own (sigtimedwait), so every other
  // thread, Qt's included, starts with them blocked.
  std::signal(SIGPIPE, SIG_IGN);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  // Every open connection takes a descriptor; the usual soft limit of 1024
  // would stop new connections long before --threads of them are open.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }

  // The captcha is drawn off screen; no display is needed.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(QtMessages);
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QGuiApplication app(qtArgc, qtArgv);

  quillet::sim::SetClockShiftMs(options.clockShiftMs);
  BookingService service(options);
  SimServer server(options, service);
  int exitCode = 1;
  if (!server.Bind(error, exitCode)) {
    std::fprintf(stderr, "quillet-sim: %s\n", error.c_str());
    return exitCode;
  }
  std::printf("listening on %s\n", server.Url().c_str());
  std::fflush(stdout);

  std::atomic<bool> finished{false};
  std::thread signalWaiter([&] {
    const timespec pause{0, 100 * 1000 * 1000};
    bool stopping = false;
    std::chrono::steady_clock::time_point stopAsked;
    while (!finished.load()) {
      const int signal = sigtimedwait(&stopSignals, nullptr, &pause);
      if ((signal == SIGINT || signal == SIGTERM) && !stopping) {
        stopping = true;
        stopAsked = std::chrono::steady_clock::now();
      }
      // Repeated: a stop that comes before the server loop runs would be lost.
      if (stopping) server.Stop();
      // The server's worker threads wait out the keep-alive time of idle
      // client connections before they end. Nothing of the service outlives
      // the process, so after a short grace period it ends without them.
      if (stopping && std::chrono::steady_clock::now() - stopAsked > std::chrono::milliseconds(500)) {
        std::fflush(nullptr);
        std::_Exit(0);
      }
    }
  });

  std::mutex tickMutex;
  std::condition_variable tickWake;
  std::thread ticker([&] {
    using Clock = std::chrono::steady_clock;
    const double every = service.ReleaseEverySeconds();
    auto nextRelease = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(every));
    std::unique_lock<std::mutex> lock(tickMutex);
    while (!finished.load()) {
      tickWake.wait_for(lock, std::chrono::seconds(1), [&] { return finished.load(); });
      if (finished.load()) break;
      service.Maintain();
      if (every > 0 && Clock::now() >= nextRelease) {
        service.ReleaseTickets();
        nextRelease += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(every));
        if (nextRelease < Clock::now()) nextRelease = Clock::now();
      }
    }
  });

  server.Run();
  {
    std::lock_guard<std::mutex> lock(tickMutex);
    finished.store(true);
  }
  tickWake.notify_all();
  ticker.join();
  signalWaiter.join();
  return 0;
}
