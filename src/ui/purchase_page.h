#pragma once
// Page " 车票预定 ": opening the order dialog from the train grid, the task
// list, the log box, the attempt label and the start and stop buttons.
#include <QObject>

class QWidget;

namespace quillet {

struct AppState;

class PurchasePage : public QObject {
  Q_OBJECT
 public:
  // mainWindow holds the controls (found by object name); the page creates
  // state.grab with its window-side view.
  PurchasePage(QWidget* mainWindow, AppState& state, QObject* parent = nullptr);
  ~PurchasePage() override;
  // Ends every worker (signalled and joined); called before the window closes.
  void Shutdown();

 private:
  QWidget* window_;
  AppState& state_;
};

}  // namespace quillet
