#pragma once
// The window side of the session: what the session tells is shown on the
// main window's controls. Calls from other threads (grab workers, the
// passenger loader) are posted to the window thread, so no caller ever waits
// for it (the window thread joins the workers at close).
#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

#include "session/session_observer.h"
#include "session/session_status.h"
#include "ui/thread_hand_over.h"
#include "ui/window_controls.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace quillet {

class QtSessionView : public QObject, public SessionObserver {
  Q_OBJECT
 public:
  using StatusReader = std::function<SessionStatus()>;
  // Shows on the passenger list, the task list, the log box, the attempt
  // label and the start button; the attempt label shows the count that
  // `status` (the session's) holds. Must be created on the window thread.
  QtSessionView(const MainWindowControls& ui, StatusReader status, QObject* parent = nullptr);

  void OnPassengersLoaded(const std::vector<PassengerRecord>& passengers) override;
  void OnWishAdded(std::size_t index, const OrderWish& wish) override;
  void OnGrabStarted(const GrabStart& start) override;
  void OnGrabAttempt(const GrabAttempt& attempt) override;
  void OnOrderBooked(const OrderReport& order) override;
  void OnOrderNeedsManualCheck(const OrderReport& order) override;
  // The window may be closing: the order is named on standard error at once.
  void OnOrderAbandoned(const OrderReport& order) override;
  void OnGrabMayStartAgain() override;

  // A line (program text, ending in "\r\n") for the log box, from any thread.
  void AppendLogLine(const std::string& line);

 private:
  template <typename Fn>
  void OnWindowThread(Fn&& fn);

  const StatusReader status_;
  ThreadHandOver* handOver_;
  QPointer<QTreeWidget> passengerList_;
  QPointer<QTreeWidget> taskList_;
  QPointer<QPlainTextEdit> logBox_;
  QPointer<QLabel> attemptLabel_;
  QPointer<QPushButton> startGrabButton_;
};

}  // namespace quillet
