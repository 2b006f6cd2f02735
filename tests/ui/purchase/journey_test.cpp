// The whole journey in the real window against the rehearsal service: sign
// in, query, make a wish in the order dialog, grab until a released ticket is
// booked, read the order on the order page, stop, and close while workers run.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <string>

#include "../support/window_test.h"
#include "booking/service_paths.h"
#include "net/http.h"
#include "session/session.h"
#include "support/sim_harness.h"
#include "ui/controls.h"
#include "ui/main_window.h"
#include "ui/order_pages.h"
#include "util/text.h"
#include "window_helpers.h"

namespace quillet::test {
namespace {

int Count(const std::string& text, const std::string& piece) {
  int n = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) ++n;
  return n;
}

std::string Utf8(const QString& text) { return text.toStdString(); }

// The service's own answer to the uncompleted-orders query, for this session.
std::string UncompletedOrdersAnswer(Session& session) {
  HttpRequest request;
  request.url = session.Client().ServiceBaseAddress() + service_paths::kUnfinishedOrders;
  request.method = "POST";
  request.bodyText = "_json_att=";
  return SendHttpRequest(request, session.Client().Cookies()).body;
}

class JourneyTest : public WindowTest {
 protected:
  void SetUp() override {
    // No tickets come back on their own: this test releases them.
    sim_ = std::make_unique<SimProcess>(std::vector<std::string>{"--seed", "11", "--release-every", "0"});
    ASSERT_TRUE(sim_->Running());
    Open(sim_->BaseUrl());
  }
  void TearDown() override {
    WindowTest::TearDown();
    sim_.reset();
  }

  int Attempts() {
    const QString text = Control<QLabel>(u"透明标签20")->text();
    return text.startsWith(Q(u8"尝试次数：")) ? text.mid(5).toInt() : 0;
  }

  void SignIn() {
    Control<QLineEdit>(u"编辑框1")->setText(QStringLiteral("demo"));
    Control<QLineEdit>(u"编辑框2")->setText(QStringLiteral("demo1234"));
    QTest::mouseClick(Control<QPushButton>(u"超级按钮1"), Qt::LeftButton);
    auto* picture = Control<QLabel>(u"图片框1");
    ASSERT_TRUE(WaitFor([&] { return Control<QFrame>(u"外形框1")->isVisible() && !picture->pixmap().isNull(); }));

    const std::string session = TextBetween(session_->Client().Cookies().Text() + ";", "JSESSIONID=", ";");
    ASSERT_FALSE(session.empty()) << session_->Client().Cookies().Text();
    const std::vector<int> cells = sim_->CaptchaCells(session);
    ASSERT_FALSE(cells.empty());
    for (int cell : cells) {
      QTest::mouseClick(Control<QLabel>(QStringLiteral("透明标签%1").arg(cell + 6)), Qt::LeftButton);
    }
    QTest::mouseClick(Control<QPushButton>(u"超级按钮3"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !Control<QPushButton>(u"超级按钮1")->isEnabled(); }));
    ASSERT_TRUE(WaitFor([&] { return Control<QTreeWidget>(u"超级列表框1")->topLevelItemCount() >= 4; }));
  }

  // Types a station name into its box and picks "name|telecode" from the drop-down.
  void PickStation(const char16_t* box, const char16_t* list, const QString& name, const QString& entry) {
    Control<QLineEdit>(box)->setText(name);
    auto* suggestions = Control<QComboBox>(list);
    const int index = suggestions->findText(entry);
    ASSERT_GE(index, 0) << Utf8(entry);
    PickItem(suggestions, index);
    EXPECT_EQ(Control<QLineEdit>(box)->text(), entry);
  }

  std::unique_ptr<SimProcess> sim_;
};

TEST_F(JourneyTest, FromSignInToABookedTicketAndBackOut) {
  ASSERT_NO_FATAL_FAILURE(SignIn());
  EXPECT_TRUE(Control<QPlainTextEdit>(u"编辑框5")->toPlainText().startsWith(Q(u8"欢迎使用本软件，请多提意见！")));

  // Query: two stations picked from their lists, a date inside the presale
  // window of the service's today (China Standard Time).
  ASSERT_NO_FATAL_FAILURE(PickStation(u"编辑框3", u"组合框1", Q(u8"北京"), Q(u8"北京|BJP")));
  ASSERT_NO_FATAL_FAILURE(PickStation(u"编辑框4", u"组合框2", Q(u8"上海"), Q(u8"上海|SHH")));
  const QDate travel = QDateTime::currentDateTimeUtc().addSecs(8 * 3600).date().addDays(3);
  const QString date = travel.toString(QStringLiteral("yyyy-MM-dd"));
  Control<QDateEdit>(u"日期框1")->setDate(travel);
  QTest::mouseClick(Control<QPushButton>(u"超级按钮4"), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return Control<QGroupBox>(u"分组框2")->title().startsWith(Q(u8"出发日期:")); }));

  // A bookable train with first and second class.
  auto* grid = Control<QTableWidget>(u"高级表格1");
  int row = -1;
  for (int r = 1; r < grid->rowCount() && row < 0; ++r) {
    if (GridCellText(grid, r, 13) == Q(u8"√") && GridCellText(grid, r, 5) != QStringLiteral("--") &&
        GridCellText(grid, r, 6) != QStringLiteral("--"))
      row = r;
  }
  ASSERT_GT(row, 0) << "no bookable train with first and second class";
  const QString train = GridCellText(grid, row, 0);
  // Both classes sold out until the test releases a ticket.
  sim_->Release(Utf8(date), Utf8(train), "M", 0);
  sim_->Release(Utf8(date), Utf8(train), "O", 0);

  // The wish: the first passenger, an adult ticket, first class before second.
  QString passengerName;
  {
    ModalWatch watch([&](QWidget* modal) {
      auto* dialog = qobject_cast<QDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      auto* passengers = Find<QComboBox>(dialog, u"组合框1");
      ASSERT_GE(passengers->count(), 1);
      PickItem(passengers, 0);
      passengerName = passengers->itemText(0).section(QLatin1Char('('), 0, 0);
      PickItem(Find<QComboBox>(dialog, u"组合框2"), 0);
      QTest::mouseClick(Find<QCheckBox>(dialog, u"选择框2"), Qt::LeftButton, {}, QPoint(5, 10));
      QTest::mouseClick(Find<QCheckBox>(dialog, u"选择框3"), Qt::LeftButton, {}, QPoint(5, 10));
      EXPECT_EQ(Find<QLabel>(dialog, u"透明标签13")->text(), Q(u8"一等座| ,二等座| ,"));
      QTest::mouseClick(Find<QPushButton>(dialog, u"超级按钮2"), Qt::LeftButton);
      if (dialog->isVisible()) {
        ADD_FAILURE() << "the dialog did not accept the wish";
        dialog->reject();
      }
    });
    const QPoint cell = grid->visualItemRect(grid->item(row, 0)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
    ASSERT_TRUE(watch.Fired());
  }
  auto* tasks = Control<QTreeWidget>(u"超级列表框2");
  ASSERT_EQ(tasks->topLevelItemCount(), 1);
  EXPECT_EQ(tasks->topLevelItem(0)->text(0), train);
  EXPECT_EQ(tasks->topLevelItem(0)->text(3), date);
  EXPECT_EQ(Control<QTabWidget>(u"高级选择夹1")->currentIndex(), 1);

  // Grab: the worker keeps asking while both classes are sold out.
  auto* start = Control<QPushButton>(u"超级按钮5");
  auto* log = Control<QPlainTextEdit>(u"编辑框5");
  QTest::mouseClick(start, Qt::LeftButton);
  EXPECT_FALSE(start->isEnabled());
  ASSERT_TRUE(WaitFor([&] { return log->toPlainText().contains(Q(u8"抢票开始！\n")); }));
  ASSERT_TRUE(WaitFor([&] { return Attempts() >= 3; }));

  sim_->Release(Utf8(date), Utf8(train), "O", 1);
  const QString booked =
      Q(u8"购票成功!日期：") + date + Q(u8",车次：") + train + Q(u8",购票人：") + passengerName + "\n";
  ASSERT_TRUE(WaitFor([&] { return log->toPlainText().contains(booked); }, 20000)) << Utf8(log->toPlainText());
  EXPECT_FALSE(start->isEnabled());  // a second-class success leaves it disabled

  const std::string simState = sim_->State();
  EXPECT_EQ(Count(simState, "\"orderId\""), 1) << simState;
  EXPECT_NE(simState.find("\"train_code\":\"" + Utf8(train) + "\""), std::string::npos) << simState;
  EXPECT_NE(simState.find("\"train_date\":\"" + Utf8(date) + "\""), std::string::npos) << simState;
  EXPECT_NE(simState.find("\"passenger_name\":\"" + Utf8(passengerName) + "\""), std::string::npos) << simState;
  EXPECT_NE(simState.find("\"seat_type\":\"O\""), std::string::npos) << simState;

  // The order page, from a file holding the service's answer for this account.
  const std::string answer = UncompletedOrdersAnswer(*session_);
  ASSERT_NE(answer.find("orderDBList"), std::string::npos) << answer;
  QTemporaryDir folder;
  const QString orderFile = folder.filePath(QStringLiteral("1.txt"));
  {
    QFile file(orderFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(GbkFromUtf8(answer)));
  }
  auto* orders = window_->findChild<OrderPages*>();
  ASSERT_NE(orders, nullptr);
  orders->SetOrderFilePath(orderFile);
  Control<QTabWidget>(u"高级选择夹1")->setCurrentIndex(2);
  QTest::mouseClick(Control<QPushButton>(u"超级按钮7"), Qt::LeftButton);
  auto* orderList = Control<QTreeWidget>(u"超级列表框3");
  ASSERT_EQ(orderList->topLevelItemCount(), 1);
  const QTreeWidgetItem* order = orderList->topLevelItem(0);
  const std::string orderId = TextBetween(simState, "\"orderId\":\"", "\"");
  EXPECT_EQ(Utf8(order->text(0)), orderId);
  EXPECT_EQ(order->text(2), train);
  EXPECT_TRUE(order->text(3).startsWith(Q(u8"北京"))) << Utf8(order->text(3));
  EXPECT_TRUE(order->text(4).startsWith(Q(u8"上海"))) << Utf8(order->text(4));
  EXPECT_EQ(order->text(5), passengerName);
  EXPECT_TRUE(order->text(6).contains(Q(u8"车"))) << Utf8(order->text(6));
  EXPECT_EQ(order->text(7), QStringLiteral("1"));
  // The service gives 30 minutes to pay.
  ASSERT_TRUE(WaitFor([&] { return Control<QLabel>(u"标签1")->text() != Q(u8"标签"); }, 3000));
  EXPECT_TRUE(QRegularExpression(Q(u8"^(29|30)分\\d+秒$")).match(Control<QLabel>(u"标签1")->text()).hasMatch())
      << Utf8(Control<QLabel>(u"标签1")->text());

  // Stop re-enables the start button.
  Control<QTabWidget>(u"高级选择夹1")->setCurrentIndex(1);
  QTest::mouseClick(Control<QPushButton>(u"超级按钮6"), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return start->isEnabled(); }));

  // Start again: the unpaid order makes the service refuse, so the worker
  // keeps trying; closing the window ends it.
  const int earlier = Attempts();
  QTest::mouseClick(start, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return Attempts() < earlier; }));  // a new worker counts from 1
  ASSERT_TRUE(WaitFor([&] { return Attempts() >= 3; }));
  EXPECT_GE(session_->RunningWorkerCount(), 1);

  QElapsedTimer clock;
  clock.start();
  window_->close();
  window_.reset();
  session_.reset();
  EXPECT_LT(clock.elapsed(), 2000);
  EXPECT_EQ(Count(sim_->State(), "\"orderId\""), 1);
}

}  // namespace
}  // namespace quillet::test
