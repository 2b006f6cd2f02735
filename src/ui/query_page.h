#pragma once
// Page "火车票查询 ": travel date, the two station boxes with their drop-down
// suggestions, the ticket kind, and the train grid; also the window's
// creation handler and the title clock.
#include <QObject>
#include <QString>
#include <vector>

#include "booking/records.h"
#include "ui/async_call.h"
#include "ui/window_controls.h"

class QDateTime;

namespace quillet {

class Session;

// The window title the clock shows at `moment`.
QString ClockTitle(const QDateTime& moment);

class QueryPage : public QObject {
  Q_OBJECT
 public:
  QueryPage(const MainWindowControls& ui, Session& session, QObject* parent = nullptr);
  ~QueryPage() override;

  void OnMainWindowCreated();
  void OnClockTick();
  void OnFromStationTyped();
  void OnToStationTyped();
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

  void FilterStations(QLineEdit* box, QComboBox* list);
  void StationPicked(QComboBox* list, QLineEdit* box);
  bool FillTrainGrid(bool student, const Query& query);
  void ShowTrains(const Query& query, const std::vector<TrainRecord>& trains);
  void WriteHeaderRow(int firstColumnWidth);

  MainWindowControls ui_;
  Session& session_;
  QTableWidget* grid_;
  ServiceCalls calls_;
};

}  // namespace quillet
