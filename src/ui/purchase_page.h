#pragma once
// Page " 车票预定 ": opening the order dialog from the train grid, the task
// list, the log box, the attempt label and the start and stop buttons. What
// grabbing shows comes through the window's session view.
#include <QObject>

#include "ui/window_controls.h"

namespace quillet {

class Session;

class PurchasePage : public QObject {
  Q_OBJECT
 public:
  PurchasePage(const MainWindowControls& ui, Session& session, QObject* parent = nullptr);

  // The train grid double-clicked: opens the order dialog for the grid's current row.
  void OnTrainGridDoubleClicked();
  void OnStartClicked();
  void OnStopClicked();

 private:
  MainWindowControls ui_;
  Session& session_;
};

}  // namespace quillet
