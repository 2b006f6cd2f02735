// The uncompleted-order page: the order file, its row, the payment countdown
// and the payment group.
#include "ui/order_pages.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include "ui/layouts.h"
#include "window_helpers.h"

namespace quillet::test {
namespace {

// Two orders as the service lists them; the page shows the first.
constexpr char8_t kTwoOrders[] =
    u8R"({"data":{"orderDBList":[{"sequence_no":"E123456789","order_date":"2027-01-10 09:15:02",)"
    u8R"("ticket_totalnum":1,"tickets":[{"str_ticket_price_page":"553.0","cancel_flag":"Y",)"
    u8R"("stationTrainDTO":{"station_train_code":"G101","from_station_name":"北京南",)"
    u8R"("to_station_name":"上海虹桥","train_no":"240000G1010C"},"start_train_date_page":"2027-01-15 07:00",)"
    u8R"("passengerDTO":{"passenger_name":"李雷","passenger_id_no":"1101"},"seat_type_name":"二等座",)"
    u8R"("coach_name":"05","seat_name":"12F号","lose_time":"2027-01-10 09:45:02","ticket_type_name":"学生票",)"
    u8R"("start_time_page":"07:00","arrive_time_page":"12:35","ticket_no":"E1234567891050012"}]},)"
    u8R"({"sequence_no":"E987654321","order_date":"2027-01-11 10:00:00","ticket_totalnum":2,)"
    u8R"("cancel_flag":"N","station_train_code":"K511","lose_time":"2027-01-11 10:30:00"}],"to_page":"db"}})";

QStringList RowTexts(const QTreeWidgetItem* row) {
  QStringList texts;
  for (int c = 0; c < 10; ++c) texts << row->text(c);
  return texts;
}

class OrderPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    BuildMainWindowLayout(&window_);
    pages_ = std::make_unique<OrderPages>(ResolveMainWindowControls(&window_));
    pages_->SetOrderFilePath(folder_.filePath(QStringLiteral("1.txt")));
  }

  void WriteOrderFile(const QByteArray& bytes) {
    QFile file(pages_->OrderFilePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  static QByteArray GbkBytes(const char8_t* utf8) { return QByteArray::fromStdString(Gbk(utf8)); }

  QTreeWidgetItem* LoadOrders() {
    QTest::mouseClick(Find<QPushButton>(&window_, u"超级按钮7"), Qt::LeftButton);
    auto* list = Find<QTreeWidget>(&window_, u"超级列表框3");
    return list->topLevelItem(list->topLevelItemCount() - 1);
  }

  QTemporaryDir folder_;
  QWidget window_;
  std::unique_ptr<OrderPages> pages_;
};

TEST_F(OrderPagesTest, TheOrderFileIsOnTheUsersDesktop) {
  const OrderPages fresh(ResolveMainWindowControls(&window_));
  EXPECT_EQ(fresh.OrderFilePath(),
            QDir(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)).filePath(QStringLiteral("1.txt")));
}

TEST_F(OrderPagesTest, FirstOrderOfTheFileFillsARowAndStartsTheCountdown) {
  WriteOrderFile(GbkBytes(kTwoOrders));
  auto* timer = Find<QTimer>(&window_, u"时钟2");
  EXPECT_FALSE(timer->isActive());

  const QTreeWidgetItem* row = LoadOrders();
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(RowTexts(row),
            (QStringList{QStringLiteral("E123456789"), QStringLiteral("2027-01-10 09:15:02"), QStringLiteral("G101"),
                         Q(u8"北京南07:00"), Q(u8"上海虹桥12:35"), Q(u8"李雷"), Q(u8"学生票(05车12F号)"),
                         QStringLiteral("1"), QStringLiteral("553.0"), Q(u8"可以")}));
  EXPECT_EQ(pages_->OrderDeadline(), "2027-01-10 09:45:02");
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), 1000);

  // Each press adds a row; a flag other than "Y" is shown as read.
  WriteOrderFile(QByteArray(R"({"sequence_no":"E1","cancel_flag":"N","lose_time":"2027-01-11 10:30:00",)"));
  const QTreeWidgetItem* second = LoadOrders();
  EXPECT_EQ(Find<QTreeWidget>(&window_, u"超级列表框3")->topLevelItemCount(), 2);
  EXPECT_EQ(second->text(0), QStringLiteral("E1"));
  EXPECT_EQ(second->text(9), QStringLiteral("N"));
  EXPECT_EQ(pages_->OrderDeadline(), "2027-01-11 10:30:00");
}

TEST_F(OrderPagesTest, MissingOrOddFilesGiveAnEmptyRowAndAStableCountdown) {
  struct Case {
    const char* what;
    std::function<void()> make;
  };
  const QString path = pages_->OrderFilePath();
  const Case cases[] = {
      {"missing", [] {}},
      {"empty", [&] { WriteOrderFile({}); }},
      {"a picture", [&] { WriteOrderFile(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe", 18)); }},
      {"noise without zero bytes, ending in half a character",
       [&] {
         QByteArray noise;
         quint32 seed = 12345;
         for (int i = 0; i < 64 * 1024; ++i) {
           seed = seed * 1103515245u + 12345u;
           noise.append(static_cast<char>(1 + (seed >> 16) % 255));
         }
         noise.append('\x81');
         WriteOrderFile(noise);
       }},
      {"a folder", [&] { ASSERT_TRUE(QDir().mkpath(path)); }},
      {"a pipe", [&] { ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); }},
  };
  auto* label = Find<QLabel>(&window_, u"标签1");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QDir(path).removeRecursively();
    QFile::remove(path);
    c.make();
    pages_->SetOrderDeadline("stale");
    const QTreeWidgetItem* row = LoadOrders();  // must return, also for the pipe
    EXPECT_EQ(RowTexts(row), QStringList(10, QString()));
    EXPECT_EQ(pages_->OrderDeadline(), "");
    pages_->OnDeadlineTick();
    EXPECT_EQ(label->text(), Q(u8"--分--秒"));
  }
  QFile::remove(path);
}

TEST_F(OrderPagesTest, ReadingStopsAtTheFirstZeroByteAndAtTheSizeLimit) {
  // A key after a zero byte, or past the limit, is not read.
  WriteOrderFile(QByteArray(R"({"sequence_no":"E1",)") + QByteArray(1, '\0') + R"("order_date":"2027-01-10",)");
  EXPECT_EQ(ReadOrderFileText(pages_->OrderFilePath()), R"({"sequence_no":"E1",)");

  QByteArray big(static_cast<qsizetype>(kOrderFileReadLimit) + 1024 * 1024, ' ');
  big.replace(0, 20, R"({"sequence_no":"E2",)");
  big.append(R"("order_date":"2027-01-10",)");
  WriteOrderFile(big);
  const std::string text = ReadOrderFileText(pages_->OrderFilePath());
  EXPECT_EQ(text.size(), kOrderFileReadLimit);
  const QTreeWidgetItem* row = LoadOrders();
  EXPECT_EQ(row->text(0), QStringLiteral("E2"));
  EXPECT_EQ(row->text(1), QString());
}

TEST_F(OrderPagesTest, CountdownShowsMinutesAndSecondsLeft) {
  const QDateTime now(QDate(2027, 1, 10), QTime(9, 30, 0, 400));
  struct Case {
    const char* deadline;
    const char8_t* text;
  };
  const Case cases[] = {
      {"2027-01-10 09:31:30", u8"1分29秒"},  // 89.6 s ahead, truncated
      {"2027-01-10 09:31:31", u8"1分30秒"},
      {"2027-01-10 09:30:00", u8"0分0秒"},    // 0.4 s past still counts as 0
      {"2027-01-10 09:29:55", u8"-1分55秒"},  // 5.4 s past: -5 s
      {"2027-01-10 08:30:00", u8"-60分0秒"},
      {"2027/1/10 9:45", u8"14分59秒"},
      {"", u8"--分--秒"},
      {"soon", u8"--分--秒"},
      {"2027-02-30 10:00:00", u8"--分--秒"},
      {"2027-01-10 25:00:00", u8"--分--秒"},
  };
  for (const Case& c : cases) EXPECT_EQ(CountdownText(c.deadline, now), Q(c.text)) << c.deadline;

  // The tick writes it into 标签1.
  pages_->SetClock([] { return QDateTime(QDate(2027, 1, 10), QTime(9, 0, 0)); });
  pages_->SetOrderDeadline("2027-01-10 09:01:30");
  pages_->OnDeadlineTick();
  EXPECT_EQ(Find<QLabel>(&window_, u"标签1")->text(), Q(u8"1分30秒"));
}

TEST_F(OrderPagesTest, PayShowsThePaymentGroup) {
  auto* group = Find<QGroupBox>(&window_, u"分组框7");
  Find<QTabWidget>(&window_, u"高级选择夹1")->setCurrentIndex(2);
  window_.show();
  EXPECT_FALSE(group->isVisible());
  QTest::mouseClick(Find<QPushButton>(&window_, u"超级按钮8"), Qt::LeftButton);
  EXPECT_TRUE(group->isVisible());
  QTest::mouseClick(Find<QPushButton>(&window_, u"超级按钮8"), Qt::LeftButton);
  EXPECT_TRUE(group->isVisible());
}

}  // namespace
}  // namespace quillet::test
