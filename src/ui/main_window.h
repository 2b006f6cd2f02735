#pragma once
// The main window: its layout, and the pages that handle its controls.
#include <QWidget>

namespace quillet {

struct AppState;
class LoginPage;
class QueryPage;
class PurchasePage;
class OrderPages;

class MainWindow : public QWidget {
  Q_OBJECT
 public:
  explicit MainWindow(AppState& state, QWidget* parent = nullptr);
  ~MainWindow() override;

  LoginPage& Login() { return *login_; }
  QueryPage& Query() { return *query_; }
  PurchasePage& Purchase() { return *purchase_; }

  // Abandons running service calls and stops and joins every thread the
  // window started (passenger loading, grab workers). Runs when the window
  // closes, before the program state is released.
  void Shutdown();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  AppState& state_;
  LoginPage* login_;
  QueryPage* query_;
  PurchasePage* purchase_;
  OrderPages* orders_;
};

}  // namespace quillet
