// Closing the main window while grab workers run: they are stopped and
// joined before the window goes, promptly, and send nothing afterwards.
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <array>

#include "booking/service_paths.h"
#include "grab/order_wish.h"
#include "sim_window_fixture.h"
#include "ui/controls.h"
#include "ui/gbk_qt.h"
#include "ui/order_form.h"

namespace quillet::test {
namespace {

class ShutdownTest : public SimWindowTest {};

TEST_F(ShutdownTest, ClosingWithWorkersRunningStopsThemFirst) {
  StartSim({"--latency-ms", "300"});
  auto* tasks = Control<QTreeWidget>(QStringLiteral(u"超级列表框2"));
  const QString date =
      QDateTime::currentDateTimeUtc().addSecs(8 * 3600).date().addDays(3).toString(QStringLiteral("yyyy-MM-dd"));
  for (int i = 0; i < 3; ++i) {
    const QString cells[] = {QStringLiteral("G1"),
                             QStringLiteral(u"北京|BJP"),
                             QStringLiteral(u"上海|SHH"),
                             date,
                             QStringLiteral(u"张三(成人[1])"),
                             QStringLiteral(u"成人票(1)"),
                             QStringLiteral(u"二代身份证[1](110101199001011234)"),
                             QStringLiteral(u"二等座| ,")};
    std::array<std::string, 8> row;
    for (int column = 0; column < 8; ++column) row[static_cast<std::size_t>(column)] = ToGbk(cells[column]);
    session_->AddWish(WishFromTaskRow(row));
  }
  ASSERT_EQ(tasks->topLevelItemCount(), 3);
  Control<QPushButton>(QStringLiteral(u"超级按钮5"))->click();
  ASSERT_TRUE(WaitFor([this] { return CountRequests(*sim_, service_paths::kLeftTicketQuery) >= 3; }));

  QElapsedTimer clock;
  clock.start();
  window_->close();
  window_.reset();
  EXPECT_LT(clock.elapsed(), 2000);

  const int sent = CountRequests(*sim_, service_paths::kLeftTicketQuery);
  QTest::qWait(600);
  EXPECT_EQ(CountRequests(*sim_, service_paths::kLeftTicketQuery), sent);
}

}  // namespace
}  // namespace quillet::test
