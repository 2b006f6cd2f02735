#pragma once
// Page " 车票预定 ": opening the order dialog from the train grid, the task
// list, the log box, the attempt label and the start and stop buttons. What
// grabbing shows comes through the window's session view.
#include <QObject>
#include <QPointer>

class QTableWidget;
class QWidget;

namespace quillet {

class Session;

class PurchasePage : public QObject {
  Q_OBJECT
 public:
  // mainWindow holds the controls (found by object name).
  PurchasePage(QWidget* mainWindow, Session& session, QObject* parent = nullptr);

  // 高级表格1 double-clicked: opens the order dialog for the grid's current row.
  void OnTrainGridDoubleClicked();
  // 超级按钮5 "开始抢票" and 超级按钮6 "停止抢票".
  void OnStartClicked();
  void OnStopClicked();

 private:
  QWidget* window_;
  Session& session_;
  QPointer<QTableWidget> grid_;
};

}  // namespace quillet
