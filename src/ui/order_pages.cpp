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

#include "ui/controls.h"
#include "ui/gbk_qt.h"
#include "ui/order_texts.h"
#include "util/text.h"

namespace quillet {

namespace {

// The uncompleted-order fields, each from the first occurrence of its key.
enum Field {
  kSequenceNo,
  kOrderDate,
  kTicketCount,
  kPrice,
  kCancelFlag,
  kTrainNo,
  kTrainCode,
  kTravelDate,
  kFromName,
  kToName,
  kPassengerName,
  kSeatTypeName,
  kCoachName,
  kSeatName,
  kDeadline,
  kTicketTypeName,
  kDepartureTime,
  kArrivalTime,
  kFieldCount
};

struct Markers {
  const char* start;
  const char* end;
};

constexpr Markers kMarkers[kFieldCount] = {
    {"sequence_no\":\"", "\","},        {"order_date\":\"", "\","},
    {"ticket_totalnum\":", ","},        {"str_ticket_price_page\":\"", "\","},
    {"cancel_flag\":\"", "\","},        {"train_no\":\"", "\"}"},
    {"station_train_code\":\"", "\","}, {"start_train_date_page\":\"", "\","},
    {"from_station_name\":\"", "\","},  {"to_station_name\":\"", "\","},
    {"passenger_name\":\"", "\","},     {"seat_type_name\":\"", "\","},
    {"coach_name\":\"", "\","},         {"seat_name\":\"", "\","},
    {"lose_time\":\"", "\","},          {"ticket_type_name\":\"", "\","},
    {"start_time_page\":\"", "\","},    {"arrive_time_page\":\"", "\","},
};

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
  std::array<std::string, kFieldCount> f;
  for (int i = 0; i < kFieldCount; ++i)
    f[static_cast<std::size_t>(i)] = TextBetween(text, kMarkers[i].start, kMarkers[i].end);

  UncompletedOrderRow row;
  auto& c = row.columns;
  c[0] = f[kSequenceNo];
  c[1] = f[kOrderDate];
  c[2] = f[kTrainCode];
  c[3] = f[kFromName] + f[kDepartureTime];
  c[4] = f[kToName] + f[kArrivalTime];
  c[5] = f[kPassengerName];
  // A file without the ticket's keys (or no file) gives an empty cell, not "(车)".
  if (!(f[kTicketTypeName].empty() && f[kCoachName].empty() && f[kSeatName].empty()))
    c[6] = f[kTicketTypeName] + "(" + f[kCoachName] + order_texts::Coach() + f[kSeatName] + ")";
  c[7] = f[kTicketCount];
  c[8] = f[kPrice];
  c[9] = f[kCancelFlag] == "Y" ? order_texts::CanCancel() : f[kCancelFlag];
  row.deadline = f[kDeadline];
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
