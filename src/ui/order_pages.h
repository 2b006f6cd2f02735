#pragma once
// Pages "未完成订单" and "已完成订单": the order read from the order file,
// the payment countdown and the payment group.
#include <QDateTime>
#include <QObject>
#include <QString>
#include <array>
#include <cstddef>
#include <functional>
#include <string>

#include "ui/window_controls.h"

namespace quillet {

// The order file is read up to this many bytes, and up to its first zero byte.
inline constexpr std::size_t kOrderFileReadLimit = 4u * 1024u * 1024u;

// The order file's usual place: "1.txt" in the user's desktop folder.
QString DefaultOrderFilePath();
// The file's text as the page reads it; empty when it is missing, not a
// regular file or unreadable.
std::string ReadOrderFileText(const QString& path);
// Columns 0..9 of the order list's row, and the payment deadline, from the text.
struct UncompletedOrderRow {
  std::array<std::string, 10> columns;
  std::string deadline;
};
UncompletedOrderRow ParseUncompletedOrder(const std::string& text);
// The countdown caption at `now` for a deadline "yyyy-MM-dd hh:mm:ss"
// ("1分30秒", "-1分55秒"); "--分--秒" when the deadline is empty or unreadable.
QString CountdownText(const std::string& deadline, const QDateTime& now);

class OrderPages : public QObject {
  Q_OBJECT
 public:
  explicit OrderPages(const MainWindowControls& ui, QObject* parent = nullptr);

  void SetOrderFilePath(const QString& path) { orderFilePath_ = path; }
  const QString& OrderFilePath() const { return orderFilePath_; }
  // The countdown's idea of now (the local clock unless replaced).
  void SetClock(std::function<QDateTime()> now) { clock_ = std::move(now); }

  void OnLoadOrdersClicked();  // the button captioned "取消订单"
  void OnDeadlineTick();
  void OnPayOrderClicked();

  // The payment deadline of the order shown, as the file gave it.
  const std::string& OrderDeadline() const { return orderDeadline_; }
  void SetOrderDeadline(std::string deadline) { orderDeadline_ = std::move(deadline); }

 private:
  MainWindowControls ui_;
  std::string orderDeadline_;
  QString orderFilePath_;
  std::function<QDateTime()> clock_;
};

}  // namespace quillet
