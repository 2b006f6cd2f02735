#pragma once
// The main window: its layout, and the pages that handle its controls.
#include <QWidget>
#include <string>

#include "ui/window_controls.h"

namespace quillet {

class Session;
class QtSessionView;
class LoginPage;
class QueryPage;
class PurchasePage;
class OrderPages;

class MainWindow : public QWidget {
  Q_OBJECT
 public:
  // Shows the session and acts on it; the session outlives the window.
  explicit MainWindow(Session& session, QWidget* parent = nullptr);
  ~MainWindow() override;

  LoginPage& Login() { return *login_; }
  QueryPage& Query() { return *query_; }
  PurchasePage& Purchase() { return *purchase_; }
  const MainWindowControls& Controls() const { return ui_; }

  // Brings the window forward on the purchase page (" 车票预定 "), where the
  // grabbing log tells what was booked.
  void ShowPurchasePage();
  // Adds a line (program text, ending in "\r\n") to the log box; any thread.
  void AppendLogLine(const std::string& line);

  // Abandons running service calls, stops and joins every thread the
  // window started (passenger loading) and closes the session's grabbing.
  // Runs when the window closes.
  void Shutdown();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  Session& session_;
  MainWindowControls ui_;
  QtSessionView* view_;
  LoginPage* login_;
  QueryPage* query_;
  PurchasePage* purchase_;
  OrderPages* orders_;
};

}  // namespace quillet
