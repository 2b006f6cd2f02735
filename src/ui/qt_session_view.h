#pragma once
// The window side of the session: what the session tells is shown on the
// main window's controls. Calls from other threads (grab workers, the
// passenger loader) are posted to the window thread, so no caller ever waits
// for it (the window thread joins the workers at close).
#include <QObject>
#include <QPointer>

#include "session/session_observer.h"
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
  // Shows on the passenger list, the task list, the log box, the attempt
  // label and the start button. Must be created on the window thread.
  explicit QtSessionView(const MainWindowControls& ui, QObject* parent = nullptr);

  void OnPassengersLoaded(const std::vector<PassengerRecord>& passengers) override;
  void OnWishAdded(std::size_t index, const OrderWish& wish) override;
  void OnGrabAttempt(std::size_t wishIndex, std::uint32_t count, const std::string& caption) override;
  void OnGrabLogLine(const std::string& line) override;
  // The start button comes back after a booking of seat type "1".
  void OnOrderBooked(const OrderReport& order) override;
  void OnGrabStopped() override;

 private:
  template <typename Fn>
  void OnWindowThread(Fn&& fn);

  ThreadHandOver* handOver_;
  QPointer<QTreeWidget> passengerList_;
  QPointer<QTreeWidget> taskList_;
  QPointer<QPlainTextEdit> logBox_;
  QPointer<QLabel> attemptLabel_;
  QPointer<QPushButton> startGrabButton_;
};

}  // namespace quillet
