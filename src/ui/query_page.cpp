#include "ui/query_page.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>

#include "grab/order_tables.h"
#include "session/session.h"
#include "stations/station_directory.h"
#include "ui/controls.h"
#include "ui/gbk_qt.h"
#include "ui/layouts.h"
#include "ui/message_box.h"
#include "ui/page_texts.h"
#include "ui/seat_positions.h"

namespace quillet {

namespace {

constexpr int kGridColumns = 14;
constexpr int kRowHeight = 40;

// The seat columns are titled with their seat type's name.
QString GridHeader(int column) {
  for (const SeatType& seat : SeatTypes()) {
    if (const int at = GridColumnOf(seat); at > 0 && at == column) return FromGbk(seat.name());
  }
  return page_texts::GridHeader(column);
}

QString NameBeforeBar(const QString& stationText) {
  const qsizetype bar = stationText.indexOf(QLatin1Char('|'));
  return bar < 0 ? QString() : stationText.left(bar);
}

}  // namespace

QString ClockTitle(const QDateTime& moment) {
  const QDate date = moment.date();
  const QTime time = moment.time();
  return page_texts::ClockTitlePrefix() + page_texts::ClockDateTimeText(date.year(), date.month(), date.day(),
                                                                        time.hour(), time.minute(), time.second());
}

QueryPage::QueryPage(const MainWindowControls& ui, Session& session, QObject* parent)
    : QObject(parent), ui_(ui), session_(session), grid_(ui.trainGrid) {
  connect(ui_.clockTimer, &QTimer::timeout, this, &QueryPage::OnClockTick);
  connect(ui_.fromStationBox, &QLineEdit::textChanged, this, &QueryPage::OnFromStationTyped);
  connect(ui_.toStationBox, &QLineEdit::textChanged, this, &QueryPage::OnToStationTyped);
  connect(ui_.fromStationList, &QComboBox::activated, this, &QueryPage::OnFromStationPicked);
  connect(ui_.toStationList, &QComboBox::activated, this, &QueryPage::OnToStationPicked);
  connect(ui_.queryButton, &QPushButton::clicked, this, &QueryPage::OnQueryClicked);
}

QueryPage::~QueryPage() { Shutdown(); }

void QueryPage::Shutdown() { calls_.StopAll(); }

// Column 0 of every row is meant as a check-box cell with the text written
// over it; it shows only the text, so the train code keeps the whole cell.
void QueryPage::WriteHeaderRow(int firstColumnWidth) {
  grid_->setRowHeight(0, kRowHeight);
  for (int column = 0; column < kGridColumns; ++column) SetGridCell(grid_, 0, column, GridHeader(column));
  grid_->setColumnWidth(13, 60);
  grid_->setColumnWidth(0, firstColumnWidth);
  grid_->setColumnWidth(2, 60);
  grid_->setColumnWidth(3, 60);
}

void QueryPage::OnMainWindowCreated() {
  WriteHeaderRow(40);
  AppendLogText(ui_.logBox, page_texts::Welcome());
}

void QueryPage::OnClockTick() { ui_.window->setWindowTitle(ClockTitle(QDateTime::currentDateTime())); }

void QueryPage::OnFromStationTyped() { FilterStations(ui_.fromStationBox, ui_.fromStationList); }
void QueryPage::OnToStationTyped() { FilterStations(ui_.toStationBox, ui_.toStationList); }

void QueryPage::FilterStations(QLineEdit* box, QComboBox* list) {
  const StationFilterOutcome outcome = FilterStationBox(session_.Stations(), ToGbk(box->text()));
  if (!outcome.run) return;
  if (outcome.clearList) list->clear();
  for (const std::string& entry : outcome.entries) {
    if (!entry.empty()) list->insertItem(list->count(), FromGbk(entry));
  }
  list->showPopup();
}

void QueryPage::StationPicked(QComboBox* list, QLineEdit* box) {
  box->setText(list->currentText());
  list->hidePopup();
}

void QueryPage::OnFromStationPicked() { StationPicked(ui_.fromStationList, ui_.fromStationBox); }
void QueryPage::OnToStationPicked() { StationPicked(ui_.toStationList, ui_.toStationBox); }

void QueryPage::OnQueryClicked() {
  QPushButton* button = ui_.queryButton;
  if (calls_.Running(kQuery)) return;
  const QDate travel = ui_.travelDateBox->date();
  const QDate today = QDate::fromString(QString::fromStdString(session_.ReferenceDate()), QStringLiteral("yyyy-MM-dd"));
  if (today.isValid() && travel < today) {
    ShowInfo(ui_.window, page_texts::DateBeforeToday());
    return;
  }
  const Query query{travel.toString(QStringLiteral("yyyy-MM-dd")), ui_.fromStationBox->text(),
                    ui_.toStationBox->text()};
  if (query.fromText.isEmpty() || query.toText.isEmpty()) {
    ShowInfo(ui_.window, page_texts::PickStations());
    button->setEnabled(true);
    return;
  }
  ui_.queryResultGroup->setTitle(page_texts::Querying());
  button->setEnabled(false);
  const bool student = !ui_.adultTicketButton->isChecked();
  // The button comes back once the answer has been shown.
  if (!FillTrainGrid(student, query)) button->setEnabled(true);
}

bool QueryPage::FillTrainGrid(bool student, const Query& query) {
  Session* session = &session_;
  return calls_.Start(
      kQuery,
      [session, student, date = ToGbk(query.date), from = ToGbk(query.fromText),
       to = ToGbk(query.toText)](std::stop_token stop) { return session->QueryTrains(student, date, from, to, stop); },
      [this, query](const TrainsResult& answer) {
        if (answer.Done()) {
          ShowTrains(query, answer.trains);
        } else {
          // The service's reason, or a plain note when there is none; the grid keeps its rows.
          ui_.queryResultGroup->setTitle(page_texts::QueryResult());
          ShowInfo(ui_.window, answer.message.empty() ? page_texts::QueryFailed() : FromGbk(answer.message));
        }
        ui_.queryButton->setEnabled(true);
      });
}

void QueryPage::ShowTrains(const Query& query, const std::vector<TrainRecord>& trains) {
  grid_->clear();
  grid_->setRowCount(1);
  for (int column = 0; column < kGridColumns; ++column) {
    grid_->setColumnWidth(column, grid_->horizontalHeader()->defaultSectionSize());
  }
  WriteHeaderRow(50);

  for (const TrainRecord& train : trains) {
    const int row = grid_->rowCount();
    grid_->insertRow(row);
    grid_->setRowHeight(row, kRowHeight);
    QString cells[kGridColumns] = {
        FromGbk(train.stationTrainCode),
        FromGbk(train.fromStationName + "\r\n" + train.startTime),
        FromGbk(train.toStationName + "\r\n" + train.arriveTime),
        FromGbk(train.duration),
    };
    for (const SeatType& seat : SeatTypes()) {
      if (const int at = GridColumnOf(seat); at > 0) cells[at] = FromGbk(train.*seat.tickets);
    }
    cells[12] = FromGbk(train.otherSeat);
    cells[13] = train.canWebBuy == "Y" ? page_texts::Bookable() : page_texts::NotBookable();
    for (int column = 0; column < kGridColumns; ++column) SetGridCell(grid_, row, column, cells[column]);
    if (train.canWebBuy != "Y") {
      for (int column = 0; column < kGridColumns; ++column) {
        grid_->item(row, column)->setBackground(UnbookableRowColour());
      }
    }
  }
  // Every cell wraps, so both lines of the station cells show.
  grid_->setWordWrap(true);
  for (int row = 0; row < grid_->rowCount(); ++row) {
    for (int column = 0; column < kGridColumns; ++column) {
      QTableWidgetItem* item = grid_->item(row, column);
      item->setTextAlignment(Qt::Alignment(item->textAlignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
    }
  }

  ui_.queryResultGroup->setTitle(page_texts::QuerySummary(
      query.date, NameBeforeBar(query.fromText), NameBeforeBar(query.toText), static_cast<int>(trains.size())));
}

}  // namespace quillet
