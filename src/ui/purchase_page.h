#pragma once
// Page " 车票预定 ": opening the order dialog from the train grid, the task
// list, the log box, the attempt label and the start and stop buttons.
#include <QObject>
#include <QPointer>
#include <memory>

class QTableWidget;
class QWidget;

namespace quillet {

struct AppState;
class QtGrabView;

class PurchasePage : public QObject {
  Q_OBJECT
 public:
  // mainWindow holds the controls (found by object name); the page creates
  // state.grab with its window-side view.
  PurchasePage(QWidget* mainWindow, AppState& state, QObject* parent = nullptr);
  ~PurchasePage() override;
  // Ends every worker (signalled and joined); called before the window closes.
  void Shutdown();

  // 高级表格1 double-clicked: opens the order dialog for the grid's current row.
  void OnTrainGridDoubleClicked();
  // 超级按钮5 "开始抢票" and 超级按钮6 "停止抢票".
  void OnStartClicked();
  void OnStopClicked();

 private:
  QWidget* window_;
  AppState& state_;
  QPointer<QTableWidget> grid_;
  QtGrabView* view_;  // child of this page; outlives state.grab (see Shutdown)
};

}  // namespace quillet
