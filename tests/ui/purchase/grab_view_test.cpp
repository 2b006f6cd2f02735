// The window side of the session: what workers and the passenger loader tell
// is posted to the window thread, so they never wait for it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTreeWidget>
#include <QWidget>
#include <string>
#include <thread>

#include "ui/layouts.h"
#include "ui/qt_session_view.h"
#include "window_helpers.h"

namespace quillet::test {
namespace {

class GrabViewTest : public ::testing::Test {
 protected:
  void SetUp() override { BuildMainWindowLayout(&window_); }

  QString Log() { return Find<QPlainTextEdit>(&window_, u"编辑框5")->toPlainText(); }

  QWidget window_;
};

TEST_F(GrabViewTest, UpdatesFromOtherThreadsArriveOnTheWindowThread) {
  // The session's snapshot, as the attempt label reads it.
  SessionStatus status;
  status.wishes.resize(1);
  status.wishes[0].attempts = 9;  // over every start
  status.wishes[0].attemptsThisStart = 7;
  QtSessionView view(ResolveMainWindowControls(&window_), [&status] { return status; });
  auto* start = Find<QPushButton>(&window_, u"超级按钮5");
  start->setEnabled(false);  // as after a click on it
  OrderWish wish;
  // clang-format off
  wish.dialogTexts = {"K511", Gbk(u8"北京|BJP"), Gbk(u8"上海|SHH"), "2027-01-15", Gbk(u8"李雷(学生[3])"),
                      Gbk(u8"学生票(3)"), Gbk(u8"二代身份证[1](110)"), Gbk(u8"硬座| ,")};
  // clang-format on
  PassengerRecord passenger;
  passenger.passenger_name = Gbk(u8"李雷");
  passenger.passenger_type = "3";
  passenger.passenger_type_name = Gbk(u8"学生");

  OrderReport booked;
  booked.date = "2027-01-15";
  booked.train = "K511";
  booked.seatType = "O";
  booked.passengers = {Gbk(u8"李雷")};
  std::thread worker([&] {
    view.OnPassengersLoaded({passenger});
    view.OnWishAdded(0, wish);
    view.OnGrabStarted(GrabStart{});
    view.OnGrabAttempt(GrabAttempt{0, 7, {}, {}});
    view.OnOrderBooked(booked);  // the session says when the button comes back
  });
  // The window thread does not turn its event loop here, as when it joins
  // workers at close: the worker must finish anyway.
  worker.join();
  EXPECT_TRUE(Log().isEmpty());  // nothing touched a control off the window thread

  ASSERT_TRUE(WaitFor([&] { return !Log().isEmpty(); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(Log(), Q(u8"抢票开始！\n购票成功!日期：2027-01-15,车次：K511,购票人：李雷\n"));
  EXPECT_EQ(Find<QLabel>(&window_, u"透明标签20")->text(), Q(u8"尝试次数：7"));
  EXPECT_FALSE(start->isEnabled());
  auto* tasks = Find<QTreeWidget>(&window_, u"超级列表框2");
  ASSERT_EQ(tasks->topLevelItemCount(), 1);
  EXPECT_EQ(tasks->topLevelItem(0)->text(6), Q(u8"二代身份证[1](110)"));
  auto* passengers = Find<QTreeWidget>(&window_, u"超级列表框1");
  ASSERT_EQ(passengers->topLevelItemCount(), 1);
  EXPECT_EQ(passengers->topLevelItem(0)->text(3), Q(u8"学生(3)"));

  std::thread([&] { view.OnGrabMayStartAgain(); }).join();
  ASSERT_TRUE(WaitFor([&] { return start->isEnabled(); }));
}

TEST_F(GrabViewTest, ResultLinesNameTheWholePartyAndAManualCheckHasItsOwnWords) {
  QtSessionView view(ResolveMainWindowControls(&window_), [] { return SessionStatus{}; });
  OrderReport order;
  order.date = "2027-01-15";
  order.train = "G7";
  order.passengers = {Gbk(u8"李雷"), Gbk(u8"韩梅梅")};
  view.OnOrderNeedsManualCheck(order);
  order.passengers.resize(1);
  view.OnOrderBooked(order);
  ASSERT_TRUE(WaitFor([&] { return Log().count(QLatin1Char('\n')) == 2; }));
  EXPECT_EQ(Log(), Q(u8"请手动查看购票信息!日期：2027-01-15,车次：G7,购票人：李雷,韩梅梅\n"
                     u8"购票成功!日期：2027-01-15,车次：G7,购票人：李雷\n"));
}

TEST_F(GrabViewTest, LogLinesGoAtTheEndAndTheEndStaysInView) {
  auto* log = Find<QPlainTextEdit>(&window_, u"编辑框5");
  window_.show();
  QtSessionView view(ResolveMainWindowControls(&window_), [] { return SessionStatus{}; });
  for (int i = 0; i < 200; ++i) view.AppendLogLine("line " + std::to_string(i) + "\r\n");
  // The user puts the caret at the top; the next line still goes to the end.
  QTextCursor top = log->textCursor();
  top.movePosition(QTextCursor::Start);
  log->setTextCursor(top);
  view.AppendLogLine("last\r\n");

  EXPECT_TRUE(log->toPlainText().startsWith(QStringLiteral("line 0\nline 1\n")));
  EXPECT_TRUE(log->toPlainText().endsWith(QStringLiteral("line 199\nlast\n")));
  QCoreApplication::processEvents();
  EXPECT_TRUE(log->textCursor().atEnd());
  EXPECT_GT(log->verticalScrollBar()->value(), 150);
  EXPECT_TRUE(log->viewport()->rect().contains(log->cursorRect()));
}

}  // namespace
}  // namespace quillet::test
