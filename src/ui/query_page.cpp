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

#include "grab/order_tables.h"
#include "session/session.h"
#include "stations/station_directory.h"
#include "ui/controls.h"
#include "ui/date_values.h"
#include "ui/gbk_qt.h"
#include "ui/layouts.h"
#include "ui/message_box.h"
#include "ui/page_texts.h"
#include "util/datetime.h"

namespace quillet {

namespace {

constexpr int kGridColumns = 14;
constexpr int kRowHeight = 40;

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

double DateValueOf(const QDateTime& moment) {
  const QDate date = moment.date();
  const QTime time = moment.time();
  return DateValueFromCivil(date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second());
}

QueryPage::QueryPage(QWidget* mainWindow, Session& session, QObject* parent)
    : QObject(parent),
      window_(mainWindow),
      session_(session),
      grid_(FindControl<QTableWidget>(mainWindow, QStringLiteral(u"高级表格1"))) {
  BindHandler(window_, QStringLiteral("OnClockTick"), this, [this](int) { OnClockTick(); });
  BindHandler(window_, QStringLiteral("FilterStationBox"), this, [this](int box) { FilterStationBox(box); });
  BindHandler(window_, QStringLiteral("OnFromStationPicked"), this, [this](int) { OnFromStationPicked(); });
  BindHandler(window_, QStringLiteral("OnToStationPicked"), this, [this](int) { OnToStationPicked(); });
  BindHandler(window_, QStringLiteral("OnQueryClicked"), this, [this](int) { OnQueryClicked(); });

}

QueryPage::~QueryPage() { Shutdown(); }

void QueryPage::Shutdown() { calls_.StopAll(); }

// Column 0 of every row is meant as a check-box cell with the text written
// over it; it shows only the text, so the train code keeps the whole cell.
void QueryPage::WriteHeaderRow(int firstColumnWidth) {
  grid_->setRowHeight(0, kRowHeight);
  for (int column = 0; column < kGridColumns; ++column) SetGridCell(grid_, 0, column, page_texts::GridHeader(column));
  grid_->setColumnWidth(13, 60);
  grid_->setColumnWidth(0, firstColumnWidth);
  grid_->setColumnWidth(2, 60);
  grid_->setColumnWidth(3, 60);
}

void QueryPage::OnMainWindowCreated() {
  WriteHeaderRow(40);
  AppendLogText(FindControl<QPlainTextEdit>(window_, QStringLiteral(u"编辑框5")), page_texts::Welcome());
}

void QueryPage::OnClockTick() { window_->setWindowTitle(ClockTitle(QDateTime::currentDateTime())); }

void QueryPage::FilterStationBox(int box) {
  auto* edit = FindControl<QLineEdit>(window_, box == 1 ? QStringLiteral(u"编辑框3") : QStringLiteral(u"编辑框4"));
  auto* list = FindControl<QComboBox>(window_, box == 1 ? QStringLiteral(u"组合框1") : QStringLiteral(u"组合框2"));
  const StationFilterOutcome outcome = quillet::FilterStationBox(session_.Stations(), ToGbk(edit->text()));
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

void QueryPage::OnFromStationPicked() {
  StationPicked(FindControl<QComboBox>(window_, QStringLiteral(u"组合框1")),
                FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框3")));
}

void QueryPage::OnToStationPicked() {
  StationPicked(FindControl<QComboBox>(window_, QStringLiteral(u"组合框2")),
                FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框4")));
}

void QueryPage::OnQueryClicked() {
  auto* button = FindControl<QPushButton>(window_, QStringLiteral(u"超级按钮4"));
  if (calls_.Running(kQuery)) return;
  const QDateTime travel = FindControl<QDateEdit>(window_, QStringLiteral(u"日期框1"))->dateTime();
  const QDateTime reference = FindControl<QDateEdit>(window_, QStringLiteral(u"日期框2"))->dateTime();
  if (LinearDayValue(ClampDateValue(DateValueOf(travel))) < LinearDayValue(ClampDateValue(DateValueOf(reference)))) {
    ShowInfo(window_, page_texts::DateBeforeToday());
    return;
  }
  const Query query{travel.date().toString(QStringLiteral("yyyy-MM-dd")),
                    FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框3"))->text(),
                    FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框4"))->text()};
  if (query.fromText.isEmpty() || query.toText.isEmpty()) {
    ShowInfo(window_, page_texts::PickStations());
    button->setEnabled(true);
    return;
  }
  FindControl<QGroupBox>(window_, QStringLiteral(u"分组框2"))->setTitle(page_texts::Querying());
  button->setEnabled(false);
  const bool student = !FindControl<QRadioButton>(window_, QStringLiteral(u"单选框1"))->isChecked();
  // The button comes back once the answer has been shown.
  if (!FillTrainGrid(student, query)) button->setEnabled(true);
}

bool QueryPage::FillTrainGrid(bool student, const Query& query) {
  Session* session = &session_;
  return calls_.Start(
      kQuery,
      [session, student, date = ToGbk(query.date), from = ToGbk(query.fromText),
       to = ToGbk(query.toText)](std::stop_token stop) {
        return session->QueryTrains(student, date, from, to, stop);
      },
      [this, query](const TrainsResult& answer) {
        if (answer.Done()) {
          ShowTrains(query, answer.trains);
        } else {
          // The service's reason, or a plain note when there is none; the grid keeps its rows.
          FindControl<QGroupBox>(window_, QStringLiteral(u"分组框2"))->setTitle(page_texts::QueryResult());
          ShowInfo(window_, answer.message.empty() ? page_texts::QueryFailed() : FromGbk(answer.message));
        }
        FindControl<QPushButton>(window_, QStringLiteral(u"超级按钮4"))->setEnabled(true);
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
      if (seat.gridColumn > 0) cells[seat.gridColumn] = FromGbk(train.*seat.tickets);
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

  FindControl<QGroupBox>(window_, QStringLiteral(u"分组框2"))
      ->setTitle(page_texts::QuerySummary(query.date, NameBeforeBar(query.fromText), NameBeforeBar(query.toText),
                                        static_cast<int>(trains.size())));
}

}  // namespace quillet
