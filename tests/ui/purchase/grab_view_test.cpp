// The window side of grabbing: workers read the task list from a copy and
// post their control updates, so they never wait for the window thread.
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
#include "ui/qt_grab_view.h"
#include "window_helpers.h"

namespace quillet::test {
namespace {

class GrabViewTest : public ::testing::Test {
 protected:
  void SetUp() override { BuildMainWindowLayout(&window_); }

  void AddTaskRow(const QString& train, const QString& passenger) {
    auto* row = new QTreeWidgetItem(Find<QTreeWidget>(&window_, u"超级列表框2"));
    row->setText(0, train);
    row->setText(4, passenger);
  }
  QString Log() { return Find<QPlainTextEdit>(&window_, u"编辑框5")->toPlainText(); }

  QWidget window_;
};

TEST_F(GrabViewTest, WorkersReadTheTaskListCopyAndTheirUpdatesArriveOnTheWindowThread) {
  AddTaskRow(QStringLiteral("G101"), Q(u8"王芳(成人[1])"));
  AddTaskRow(QStringLiteral("K511"), Q(u8"李雷(学生[3])"));
  QtGrabView view(&window_);
  view.TakeTaskSnapshot();
  AddTaskRow(QStringLiteral("D3"), Q(u8"韩梅梅(成人[1])"));  // added after the start: not seen

  int rows = -1;
  std::string cell, missing;
  std::thread worker([&] {
    rows = view.TaskRowCount();
    cell = view.TaskCellText(1, 4);
    missing = view.TaskCellText(2, 0) + view.TaskCellText(0, 30) + view.TaskCellText(-1, 0);
    view.AppendLog(Gbk(u8"抢票开始！\r\n"));
    view.SetAttemptCaption(Gbk(u8"尝试次数：7"));
    view.AppendLog(Gbk(u8"购票成功!日期：2027-01-15,车次：K511,购票人：李雷\r\n"));
    view.SetStartButtonEnabled(false);
  });
  // The window thread does not turn its event loop here, as when it joins
  // workers at close: the worker must finish anyway.
  worker.join();

  EXPECT_EQ(rows, 2);
  EXPECT_EQ(cell, Gbk(u8"李雷(学生[3])"));
  EXPECT_EQ(missing, "");
  EXPECT_TRUE(Log().isEmpty());  // nothing touched a control off the window thread

  auto* start = Find<QPushButton>(&window_, u"超级按钮5");
  ASSERT_TRUE(WaitFor([&] { return !start->isEnabled(); }));
  EXPECT_EQ(Log(), Q(u8"抢票开始！\n购票成功!日期：2027-01-15,车次：K511,购票人：李雷\n"));
  EXPECT_EQ(Find<QLabel>(&window_, u"透明标签20")->text(), Q(u8"尝试次数：7"));
}

TEST_F(GrabViewTest, LogLinesGoAtTheEndAndTheEndStaysInView) {
  auto* log = Find<QPlainTextEdit>(&window_, u"编辑框5");
  window_.show();
  QtGrabView view(&window_);
  for (int i = 0; i < 200; ++i) view.AppendLog("line " + std::to_string(i) + "\r\n");
  // The user puts the caret at the top; the next line still goes to the end.
  QTextCursor top = log->textCursor();
  top.movePosition(QTextCursor::Start);
  log->setTextCursor(top);
  view.AppendLog("last\r\n");

  EXPECT_TRUE(log->toPlainText().startsWith(QStringLiteral("line 0\nline 1\n")));
  EXPECT_TRUE(log->toPlainText().endsWith(QStringLiteral("line 199\nlast\n")));
  QCoreApplication::processEvents();
  EXPECT_TRUE(log->textCursor().atEnd());
  EXPECT_GT(log->verticalScrollBar()->value(), 150);
  EXPECT_TRUE(log->viewport()->rect().contains(log->cursorRect()));
}

}  // namespace
}  // namespace quillet::test
