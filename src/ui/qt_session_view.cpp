#include "ui/qt_session_view.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>

#include "ui/controls.h"
#include "ui/gbk_qt.h"

namespace quillet {

QtSessionView::QtSessionView(const MainWindowControls& ui, QObject* parent)
    : QObject(parent),
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

void QtSessionView::OnGrabAttempt(std::size_t, std::uint32_t, const std::string& caption) {
  OnWindowThread([this, text = FromGbk(caption)] {
    if (attemptLabel_) attemptLabel_->setText(text);
  });
}

void QtSessionView::OnGrabLogLine(const std::string& line) {
  OnWindowThread([this, lines = FromGbk(line)] { AppendLogText(logBox_, lines); });
}

void QtSessionView::OnOrderBooked(const OrderReport& order) {
  if (order.seatType != "1") return;
  OnWindowThread([this] {
    if (startGrabButton_) startGrabButton_->setEnabled(true);
  });
}

void QtSessionView::OnGrabStopped() {
  OnWindowThread([this] {
    if (startGrabButton_) startGrabButton_->setEnabled(true);
  });
}

}  // namespace quillet
