#pragma once
// Page "火车票查询 ": travel date, the two station boxes with their drop-down
// suggestions, the ticket kind, and the train grid; also the window's
// creation handler and the title clock.
#include <QObject>
#include <QString>
#include <vector>

#include "booking/records.h"
#include "ui/async_call.h"

class QComboBox;
class QDateTime;
class QLineEdit;
class QTableWidget;
class QWidget;

namespace quillet {

class Session;

// The window title the clock shows at `moment`.
QString ClockTitle(const QDateTime& moment);
// The date value (days since 1899-12-30 with the time of day) of a moment.
double DateValueOf(const QDateTime& moment);

class QueryPage : public QObject {
  Q_OBJECT
 public:
  QueryPage(QWidget* mainWindow, Session& session, QObject* parent = nullptr);
  ~QueryPage() override;

  void OnMainWindowCreated();
  void OnClockTick();
  // box 1: 编辑框3 with 组合框1 (departure); box 2: 编辑框4 with 组合框2 (arrival).
  void FilterStationBox(int box);
  void OnFromStationPicked();
  void OnToStationPicked();
  void OnQueryClicked();

  bool QueryRunning() const { return calls_.Running(kQuery); }
  // Abandons a running query.
  void Shutdown();

 private:
  enum CallKind { kQuery };
  struct Query {
    QString date;  // yyyy-MM-dd
    QString fromText, toText;
  };

  void StationPicked(QComboBox* list, QLineEdit* box);
  bool FillTrainGrid(bool student, const Query& query);
  void ShowTrains(const Query& query, const std::vector<TrainRecord>& trains);
  void WriteHeaderRow(int firstColumnWidth);

  QWidget* window_;
  Session& session_;
  QTableWidget* grid_;
  ServiceCalls calls_;
};

}  // namespace quillet
