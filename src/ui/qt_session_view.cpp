#include "ui/qt_session_view.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>
#include <cstdio>

#include "ui/controls.h"
#include "ui/gbk_qt.h"
#include "ui/grab_log_text.h"

namespace quillet {

QtSessionView::QtSessionView(const MainWindowControls& ui, StatusReader status, QObject* parent)
    : QObject(parent),
      status_(std::move(status)),
      handOver_(new ThreadHandOver(this)),
      passengerList_(ui.passengerList),
      taskList_(ui.taskList),
      logBox_(ui.logBox),
      attemptLabel_(ui.attemptLabel),
      startGrabButton_(ui.startGrabButton) {}

template <typename Fn>
void QtSessionView::OnWindowThread(Fn&& fn) {
  handOver_->Post(std::forward<Fn>(fn));
}

void QtSessionView::OnPassengersLoaded(const std::vector<PassengerRecord>& passengers) {
  OnWindowThread([this, passengers] {
    QTreeWidget* list = passengerList_;
    if (!list) return;
    list->clear();
    for (const PassengerRecord& passenger : passengers) {
      const int row = AppendListRow(list);
      SetListCell(list, row, 0, QString::number(row + 1));
      SetListCell(list, row, 1, FromGbk(passenger.passenger_name));
      SetListCell(list, row, 2, FromGbk(passenger.sex_name));
      SetListCell(list, row, 3, FromGbk(passenger.passenger_type_name + "(" + passenger.passenger_type + ")"));
      SetListCell(list, row, 4,
                  FromGbk(passenger.passenger_id_type_name + "[" + passenger.passenger_id_type_code + "]"));
      SetListCell(list, row, 5, FromGbk(passenger.passenger_id_no));
      SetListCell(list, row, 6, FromGbk(passenger.mobile_no));
    }
    SelectListRow(list, 0);
  });
}

void QtSessionView::OnWishAdded(std::size_t, const OrderWish& wish) {
  OnWindowThread([this, texts = wish.dialogTexts] {
    QTreeWidget* tasks = taskList_;
    if (!tasks) return;
    const int row = AppendListRow(tasks);
    for (std::size_t c = 0; c < texts.size(); ++c) SetListCell(tasks, row, static_cast<int>(c), FromGbk(texts[c]));
  });
}

void QtSessionView::OnGrabStarted(const GrabStart&) { AppendLogLine(grab_log_text::StartedLine()); }

void QtSessionView::OnGrabAttempt(const GrabAttempt& attempt) {
  OnWindowThread([this, wishIndex = attempt.wishIndex] {
    if (!attemptLabel_ || !status_) return;
    const SessionStatus status = status_();
    if (wishIndex >= status.wishes.size()) return;
    attemptLabel_->setText(FromGbk(grab_log_text::AttemptCaption(status.wishes[wishIndex].attemptsThisStart)));
  });
}

void QtSessionView::OnOrderBooked(const OrderReport& order) { AppendLogLine(grab_log_text::BookedLine(order)); }

void QtSessionView::OnOrderNeedsManualCheck(const OrderReport& order) {
  AppendLogLine(grab_log_text::ManualCheckLine(order));
}

void QtSessionView::OnOrderAbandoned(const OrderReport& order) {
  std::fputs(grab_log_text::AbandonedOrderLine(order).c_str(), stderr);
  std::fflush(stderr);
}

void QtSessionView::AppendLogLine(const std::string& line) {
  OnWindowThread([this, lines = FromGbk(line)] { AppendLogText(logBox_, lines); });
}

void QtSessionView::OnGrabMayStartAgain() {
  OnWindowThread([this] {
    if (startGrabButton_) startGrabButton_->setEnabled(true);
  });
}

}  // namespace quillet
