#include "ui/order_pages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <cmath>

#include "booking/uncompleted_order.h"
#include "ui/controls.h"
#include "ui/gbk_qt.h"
#include "ui/order_texts.h"
#include "util/text.h"

namespace quillet {

namespace {

// Numeric year-month-day with an optional time of day; "-" or "/" between
// the date's numbers.
bool ReadDeadline(const std::string& text, QDateTime& out) {
  static const QRegularExpression form(
      QStringLiteral(R"(^\s*(\d{1,4})[-/](\d{1,2})[-/](\d{1,2})(?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)"));
  const QRegularExpressionMatch m = form.match(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  if (!m.hasMatch()) return false;
  const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
  if (!date.isValid() || !time.isValid()) return false;
  out = QDateTime(date, time);
  return out.isValid();
}

}  // namespace

QString DefaultOrderFilePath() {
  QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (desktop.isEmpty()) desktop = QDir::homePath();
  return QDir(desktop).filePath(order_texts::OrderFileName());
}

std::string ReadOrderFileText(const QString& path) {
  // Only a regular file: a pipe or a device of that name would block or
  // never end.
  const QFileInfo info(path);
  if (!info.exists() || !info.isFile()) return {};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.read(static_cast<qint64>(kOrderFileReadLimit));
  const qsizetype zero = bytes.indexOf('\0');
  return std::string(bytes.constData(), static_cast<std::size_t>(zero < 0 ? bytes.size() : zero));
}

UncompletedOrderRow ParseUncompletedOrder(const std::string& text) {
  // The row shows whatever the text holds, whether or not it names an order.
  const UncompletedOrder o = ReadUncompletedOrder(text).order;
  UncompletedOrderRow row;
  auto& c = row.columns;
  c[0] = o.sequenceNo;
  c[1] = o.orderDate;
  c[2] = o.trainCode;
  c[3] = o.fromStationName + o.departureTime;
  c[4] = o.toStationName + o.arrivalTime;
  c[5] = o.passengerName;
  // A file without the ticket's keys (or no file) gives an empty cell, not "(车)".
  if (!(o.ticketTypeName.empty() && o.coachName.empty() && o.seatName.empty()))
    c[6] = o.ticketTypeName + "(" + o.coachName + order_texts::Coach() + o.seatName + ")";
  c[7] = o.ticketCount;
  c[8] = o.price;
  c[9] = o.cancelFlag == "Y" ? order_texts::CanCancel() : o.cancelFlag;
  row.deadline = o.payDeadline;
  return row;
}

QString CountdownText(const std::string& deadline, const QDateTime& now) {
  QDateTime due;
  if (!ReadDeadline(deadline, due)) return order_texts::CountdownUnknown();
  // Seconds as a real number, truncated toward zero; minutes rounded down.
  const int s = TruncateToInt(static_cast<double>(now.msecsTo(due)) / 1000.0);
  const long long m = static_cast<long long>(std::floor(s / 60.0));
  const long long r = static_cast<long long>(s) - 60 * m;
  return order_texts::Countdown(m, r);
}

OrderPages::OrderPages(const MainWindowControls& ui, QObject* parent)
    : QObject(parent),
      ui_(ui),
      orderFilePath_(DefaultOrderFilePath()),
      clock_([] { return QDateTime::currentDateTime(); }) {
  connect(ui_.loadOrdersButton, &QPushButton::clicked, this, &OrderPages::OnLoadOrdersClicked);
  connect(ui_.payOrderButton, &QPushButton::clicked, this, &OrderPages::OnPayOrderClicked);
  connect(ui_.deadlineTimer, &QTimer::timeout, this, &OrderPages::OnDeadlineTick);
}

void OrderPages::OnLoadOrdersClicked() {
  const UncompletedOrderRow order = ParseUncompletedOrder(ReadOrderFileText(orderFilePath_));
  const int row = AppendListRow(ui_.orderList);
  for (std::size_t c = 0; c < order.columns.size(); ++c)
    SetListCell(ui_.orderList, row, static_cast<int>(c), FromGbk(order.columns[c]));
  orderDeadline_ = order.deadline;
  ui_.deadlineTimer->start(1000);
}

void OrderPages::OnDeadlineTick() { ui_.countdownLabel->setText(CountdownText(orderDeadline_, clock_())); }

void OrderPages::OnPayOrderClicked() { ui_.paymentGroup->setVisible(true); }

}  // namespace quillet
