#pragma once
// Pages "未完成订单" and "已完成订单": the order read from the order file,
// the payment countdown and the payment group.
#include <QObject>

class QWidget;

namespace quillet {

struct AppState;

class OrderPages : public QObject {
  Q_OBJECT
 public:
  OrderPages(QWidget* mainWindow, AppState& state, QObject* parent = nullptr);

 private:
  QWidget* window_;
  AppState& state_;
};

}  // namespace quillet
