// The query page against the rehearsal service: the date checks, the train
// grid, the captions, and a window that keeps turning while the service is slow.
#include <QDateEdit>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>

#include "booking/client.h"
#include "booking/service_paths.h"
#include "sim_window_fixture.h"
#include "ui/gbk_qt.h"
#include "ui/main_window.h"
#include "ui/query_page.h"
#include "util/codepage.h"

namespace quillet::test {
namespace {

using namespace Qt::StringLiterals;

const char* const kLeftTicketPath = service_paths::kLeftTicketQuery;

struct StationPair {
  QString from, to;  // as picked: name|telecode
  std::vector<TrainRecord> trains;
};

class QueryTest : public SimWindowTest {
 protected:
  // A pair with several trains, at least one of them not bookable, as the
  // service lists them for the travel date.
  StationPair PairWithUnbookableTrain(const QString& date) {
    const std::pair<const char16_t*, const char16_t*> candidates[] = {
        {u"北京|BJP", u"上海|SHH"},      {u"北京南|VNP", u"上海虹桥|AOH"}, {u"广州南|IZQ", u"深圳北|IOQ"},
        {u"北京西|BXP", u"武汉|WHN"},    {u"上海|SHH", u"杭州|HZH"},       {u"南京|NJH", u"上海|SHH"},
        {u"北京|BJP", u"天津|TJP"},      {u"成都东|ICW", u"重庆北|CUW"},   {u"西安北|EAY", u"郑州东|ZAF"},
        {u"上海虹桥|AOH", u"南京南|NKH"}};
    CookieJar jar;
    BookingClient client(sim_->BaseUrl(), jar);
    client.SetReuseConnections(false);  // no idle connection outlives the test
    for (const auto& [from, to] : candidates) {
      StationPair pair{QString::fromUtf16(from), QString::fromUtf16(to), {}};
      TrainsResult result = client.QueryLeftTickets(false, ToGbk(date), ToGbk(pair.from), ToGbk(pair.to));
      if (!result.Done()) continue;
      pair.trains = std::move(result.trains);
      const bool someUnbookable =
          std::any_of(pair.trains.begin(), pair.trains.end(), [](const TrainRecord& t) { return t.canWebBuy != "Y"; });
      if (pair.trains.size() >= 2 && someUnbookable) return pair;
    }
    ADD_FAILURE() << "no station pair with an unbookable train";
    return {};
  }

  void EnterQuery(const QDate& date, const QString& from, const QString& to) {
    Control<QDateEdit>(QStringLiteral(u"日期框1"))->setDate(date);
    Control<QLineEdit>(QStringLiteral(u"编辑框3"))->setText(from);
    Control<QLineEdit>(QStringLiteral(u"编辑框4"))->setText(to);
  }
  QPushButton* QueryButton() { return Control<QPushButton>(QStringLiteral(u"超级按钮4")); }
  QString Caption() { return Control<QGroupBox>(QStringLiteral(u"分组框2"))->title(); }
  bool Querying() { return window_->Query().QueryRunning(); }

  // Clicks "车票查询" and waits for the answer.
  void RunQuery() {
    QueryButton()->click();
    ASSERT_TRUE(WaitFor([this] { return !Querying(); }));
  }
};

// The sim's day is China Standard Time; 3 days ahead is in range everywhere.
// The program's today: China's, whatever the machine's zone.
QDate ChinaToday() { return QDateTime::currentDateTimeUtc().addSecs(8 * 3600).date(); }
QDate TravelDate() { return ChinaToday().addDays(3); }

TEST_F(QueryTest, FillsTheGridWithOneRowPerTrain) {
  StartSim();
  const QString date = TravelDate().toString(QStringLiteral("yyyy-MM-dd"));
  const StationPair pair = PairWithUnbookableTrain(date);
  ASSERT_FALSE(pair.trains.empty());
  EnterQuery(TravelDate(), pair.from, pair.to);

  MessageBoxCatcher boxes;
  QueryButton()->click();
  EXPECT_EQ(Caption(), QStringLiteral(u"余票查询中！请稍候....."));
  EXPECT_FALSE(QueryButton()->isEnabled());
  ASSERT_TRUE(WaitFor([this] { return !Querying(); }));
  EXPECT_TRUE(boxes.Texts().isEmpty());
  EXPECT_TRUE(QueryButton()->isEnabled());

  auto* grid = Control<QTableWidget>(QStringLiteral(u"高级表格1"));
  const int trains = static_cast<int>(pair.trains.size());
  ASSERT_EQ(grid->rowCount(), trains + 1);
  const QStringList header = {u"车次"_s, u"出发站"_s, u"到达站"_s, u"用时"_s, u"商务座"_s, u"一等座"_s, u"二等座"_s,
                              u"软卧"_s, u"硬卧"_s,   u"软座"_s,   u"硬座"_s, u"无座"_s,   u"其他"_s,   u"能否购票"_s};
  for (int column = 0; column < 14; ++column) EXPECT_EQ(GridCellText(grid, 0, column), header[column]);
  EXPECT_EQ(grid->columnWidth(0), 50);
  for (int column : {2, 3, 13}) EXPECT_EQ(grid->columnWidth(column), 60) << column;

  for (int row = 1; row <= trains; ++row) {
    SCOPED_TRACE(row);
    const TrainRecord& train = pair.trains[static_cast<size_t>(row - 1)];
    EXPECT_EQ(grid->rowHeight(row), 40);
    EXPECT_EQ(GridCellText(grid, row, 0), FromGbk(train.stationTrainCode));
    EXPECT_EQ(GridCellText(grid, row, 1), FromGbk(train.fromStationName + "\r\n" + train.startTime));
    EXPECT_EQ(GridCellText(grid, row, 2), FromGbk(train.toStationName + "\r\n" + train.arriveTime));
    EXPECT_EQ(grid->item(row, 1)->text(), FromGbk(train.fromStationName + "\n" + train.startTime));
    const bool bookable = train.canWebBuy == "Y";
    EXPECT_EQ(GridCellText(grid, row, 13), bookable ? u"√"_s : u"×"_s);
    for (int column = 0; column < 14; ++column) {
      const QBrush background = grid->item(row, column)->background();
      EXPECT_EQ(background.style() != Qt::NoBrush && background.color() == QColor(128, 128, 128), !bookable)
          << "column " << column;
    }
  }
  const QString names = pair.from.section(QLatin1Char('|'), 0, 0) + u"->"_s + pair.to.section(QLatin1Char('|'), 0, 0);
  EXPECT_EQ(Caption(),
            u"出发日期:"_s + date + u"  "_s + names + u"(共查询到"_s + QString::number(trains) + u"趟列车)"_s);

  // A second query replaces every row; the header row is rebuilt.
  RunQuery();
  EXPECT_EQ(grid->rowCount(), trains + 1);
  EXPECT_EQ(GridCellText(grid, 0, 13), header[13]);
}

TEST_F(QueryTest, StudentTicketsAndStationsTypedWithoutCode) {
  StartSim();
  // A station text without "|" goes to the service as typed; the summary shows no name for it.
  EnterQuery(TravelDate(), QStringLiteral(u"北京|BJP"), QStringLiteral("SHH"));
  Control<QRadioButton>(QStringLiteral(u"单选框2"))->setChecked(true);
  MessageBoxCatcher boxes;
  RunQuery();
  const std::string log = sim_->Requests();
  EXPECT_NE(log.find("0X00"), std::string::npos);  // the student purpose code
  EXPECT_TRUE(Caption().contains(QStringLiteral(u"  北京->("))) << Caption().toStdString();
}

TEST_F(QueryTest, TravelDateBeforeTodayIsRefused) {
  StartSim();
  EnterQuery(ChinaToday().addDays(-1), QStringLiteral(u"北京|BJP"), QStringLiteral(u"上海|SHH"));
  MessageBoxCatcher boxes;
  QueryButton()->click();
  EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral(u"出发时间不能早于今天！")});
  EXPECT_FALSE(Querying());
  EXPECT_EQ(Caption(), QStringLiteral(u"列车查询结果"));
  EXPECT_TRUE(QueryButton()->isEnabled());
  EXPECT_EQ(CountRequests(*sim_, kLeftTicketPath), 0);

  // Today itself is accepted.
  EnterQuery(ChinaToday(), QStringLiteral(u"北京|BJP"), QStringLiteral(u"上海|SHH"));
  RunQuery();
  EXPECT_EQ(CountRequests(*sim_, kLeftTicketPath), 1);
  EXPECT_EQ(boxes.Texts().count(QStringLiteral(u"出发时间不能早于今天！")), 1);
}

TEST_F(QueryTest, EmptyStationAsksForStations) {
  StartSim();
  EnterQuery(TravelDate(), QStringLiteral(u"北京|BJP"), QString());
  MessageBoxCatcher boxes;
  QueryButton()->click();
  EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral(u"请选择站点")});
  EXPECT_TRUE(QueryButton()->isEnabled());
  EXPECT_EQ(CountRequests(*sim_, kLeftTicketPath), 0);
}

TEST_F(QueryTest, FailedQueryShowsTheServiceReasonAndKeepsTheGrid) {
  StartSim();
  EnterQuery(TravelDate(), QStringLiteral(u"北京|BJP"), QStringLiteral(u"上海|SHH"));
  RunQuery();
  auto* grid = Control<QTableWidget>(QStringLiteral(u"高级表格1"));
  const int rows = grid->rowCount();
  ASSERT_GT(rows, 1);

  // A date beyond the service's booking period.
  EnterQuery(ChinaToday().addDays(90), QStringLiteral(u"北京|BJP"), QStringLiteral(u"上海|SHH"));
  MessageBoxCatcher boxes;
  RunQuery();
  ASSERT_EQ(boxes.Texts().size(), 1);
  EXPECT_NE(boxes.Texts().front(), QStringLiteral(u"文本1"));
  EXPECT_FALSE(boxes.Texts().front().isEmpty());
  EXPECT_EQ(Caption(), QStringLiteral(u"查询结果"));
  EXPECT_EQ(grid->rowCount(), rows);
  EXPECT_TRUE(QueryButton()->isEnabled());
}

class SlowServiceTest : public QueryTest {};

// The window keeps turning its event loop while the answer is on its way,
// the query button stays disabled, and a second click sends nothing.
TEST_F(SlowServiceTest, WindowKeepsTurningDuringAQuery) {
  StartSim({"--latency-ms", "3000"});
  EnterQuery(TravelDate(), QStringLiteral(u"北京|BJP"), QStringLiteral(u"上海|SHH"));
  int turns = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&turns] { ++turns; });
  ticker.start(10);

  QElapsedTimer clock;
  clock.start();
  QueryButton()->click();
  const qint64 clickReturnedAfter = clock.elapsed();
  QueryButton()->click();  // disabled: ignored
  EXPECT_TRUE(WaitFor([this] { return !Querying(); }, 20000));
  const qint64 callTook = clock.elapsed();

  EXPECT_LT(clickReturnedAfter, 1000);  // the handler did not wait for the answer
  EXPECT_GE(callTook, 3000);
  // At 10 ms a turn, a window that kept running turned well over a hundred times.
  EXPECT_GT(turns, 100) << "turns during a call of " << callTook << " ms";
  RecordProperty("event_loop_turns", turns);
  RecordProperty("call_ms", static_cast<int>(callTook));
  EXPECT_EQ(CountRequests(*sim_, kLeftTicketPath), 1);
  EXPECT_TRUE(QueryButton()->isEnabled());
  EXPECT_GT(Control<QTableWidget>(QStringLiteral(u"高级表格1"))->rowCount(), 1);
}

TEST_F(SlowServiceTest, ClosingTheWindowAbandonsARunningCall) {
  StartSim({"--latency-ms", "3000"});
  EnterQuery(TravelDate(), QStringLiteral(u"北京|BJP"), QStringLiteral(u"上海|SHH"));
  QueryButton()->click();
  ASSERT_TRUE(Querying());
  QElapsedTimer clock;
  clock.start();
  window_->close();
  window_.reset();
  EXPECT_LT(clock.elapsed(), 2000);
}

}  // namespace
}  // namespace quillet::test
