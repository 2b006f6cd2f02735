#pragma once
// The order dialog: one train picked from the query grid becomes one row of
// the task list, with a passenger, a ticket type and seat classes in order.
#include <QDialog>
#include <string>

#include "ui/window_controls.h"

namespace quillet {

class Session;

class OrderDialog : public QDialog {
  Q_OBJECT
 public:
  // Reads the query page's current train, date and stations from the main
  // window and the loaded passengers from the session; a confirmed order
  // becomes a wish of the session. The dialog is a window of its own
  // (frameless, modal over the main window), not a child of it, so its
  // control names never shadow the main window's.
  OrderDialog(const MainWindowControls& mainWindow, Session& session);

  const OrderDialogControls& Controls() const { return ui_; }
  const std::string& SeatOrderText() const { return seatOrderText_; }

  void FillOrderDialog();
  void OnDialogPassengerPicked(int index);
  void ToggleSeatType(int box, bool nowChecked);  // box 0..7 = 选择框1..8
  void ConfirmOrder();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  MainWindowControls mainWindow_;
  OrderDialogControls ui_;
  Session& session_;
  std::string seatOrderText_;
};

}  // namespace quillet
