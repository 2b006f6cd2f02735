#include "app/program.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/window_notifications.h"
#include "assembly/assembly.h"
#include "quillet/version.h"
#include "session/session.h"
#include "ui/main_window.h"

namespace quillet {

int StartProgram(int argc, char** argv) {
  const std::string programName = argc > 0 ? argv[0] : "quillet";
  const CommandLine line = ParseCommandLine(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (line.action == CommandLine::Action::Help) {
    std::fputs(HelpText(programName).c_str(), stdout);
    return 0;
  }
  if (line.action == CommandLine::Action::Version) {
    std::fputs(VersionText().c_str(), stdout);
    return 0;
  }
  if (line.action == CommandLine::Action::Error) {
    std::fprintf(stderr, "%s: %s\n%s", programName.c_str(), line.error.c_str(), HelpText(programName).c_str());
    return 2;
  }

  QApplication application(argc, argv);
  // Ties the window to its installed menu entry and icon (Wayland's app id).
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopId));
  QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(kDesktopId)));
  // The program's station table is loaded here, before the window shows.
  Assembly assembly(line.settings);
  Session& session = assembly.AddSession();
  MainWindow window(session);
  WindowNotifications notifications(assembly, session, window);
  window.show();
  const int exitCode = QApplication::exec();
  // Closing the window has stopped every thread it started and closed the
  // session's grabbing (again here for an end without a close). Then the
  // assembly is taken down: the workers joined, then the notifications
  // still queued get a bounded time, before the window goes; and the window
  // goes before the session it shows.
  window.Shutdown();
  assembly.TakeDown();
  return exitCode;
}

}  // namespace quillet
