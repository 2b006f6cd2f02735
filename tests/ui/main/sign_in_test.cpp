// Signing in through the account area and the captcha panel, and the
// passenger list that follows.
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "booking/captcha_cells.h"
#include "booking/service_paths.h"
#include "sim_window_fixture.h"
#include "ui/gbk_qt.h"
#include "ui/login_page.h"
#include "ui/main_window.h"

namespace quillet::test {
namespace {

TEST(CaptchaAnswerTest, FollowsCellOrder) {
  const auto& fields = CaptchaCellPoints();
  struct Case {
    std::vector<int> cells;
    std::string answer;
  };
  const Case cases[] = {
      {{4, 1}, "38.5,40,253,50"},
      {{2, 7}, "110.5,35,182,115"},
      {{1, 2, 3, 4, 5, 6, 7, 8}, "38.5,40,110.5,35,180,42,253,50,33.5,111.5,109,110,182,115,255,117"},
      {{}, ""},
  };
  for (const Case& c : cases) {
    std::array<bool, 8> marked{};
    for (int cell : c.cells) marked[static_cast<size_t>(cell - 1)] = true;
    EXPECT_EQ(BuildCaptchaAnswer(fields, marked), c.answer);
  }
}

class CaptchaCellTest : public WindowTest {};

TEST_F(CaptchaCellTest, PressingMarksAndUnmarks) {
  Open();
  Control<QFrame>(QStringLiteral(u"外形框1"))->show();
  auto* cell4 = Control<QLabel>(QStringLiteral(u"透明标签10"));
  auto* cell7 = Control<QLabel>(QStringLiteral(u"透明标签13"));  // on the picture, not the panel
  QTest::mouseClick(cell4, Qt::LeftButton);
  QTest::mouseClick(cell7, Qt::LeftButton);
  EXPECT_EQ(cell4->text(), QStringLiteral(u"√"));
  EXPECT_EQ(cell7->text(), QStringLiteral(u"√"));
  EXPECT_EQ(window_->Login().CellAnswers()[3], "253,50");
  EXPECT_EQ(window_->Login().CellAnswers()[6], "182,115");
  QTest::mouseClick(cell4, Qt::LeftButton);
  EXPECT_TRUE(cell4->text().isEmpty());
  EXPECT_TRUE(window_->Login().CellAnswers()[3].empty());
  QTest::mouseClick(cell7, Qt::RightButton);  // only the left button marks
  EXPECT_EQ(cell7->text(), QStringLiteral(u"√"));
}

TEST_F(CaptchaCellTest, EmptyAccountOrPasswordAsksForBoth) {
  Open();
  auto* account = Control<QLineEdit>(QStringLiteral(u"编辑框1"));
  auto* password = Control<QLineEdit>(QStringLiteral(u"编辑框2"));
  const std::pair<QString, QString> cases[] = {
      {{}, {}}, {QStringLiteral("demo"), {}}, {{}, QStringLiteral("demo1234")}};
  for (const auto& [name, secret] : cases) {
    account->setText(name);
    password->setText(secret);
    MessageBoxCatcher boxes;
    Control<QPushButton>(QStringLiteral(u"超级按钮1"))->click();
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral(u"请输入帐号密码！")});
    EXPECT_EQ(boxes.Titles(), QStringList{QStringLiteral(u"信息：")});
    EXPECT_TRUE(Control<QFrame>(QStringLiteral(u"外形框1"))->isHidden());
  }
}

class SignInTest : public SimWindowTest {};

TEST_F(SignInTest, RightCellsSignInAndLoadThePassengers) {
  StartSim();
  OpenCaptcha();
  EXPECT_FALSE(Control<QFrame>(QStringLiteral(u"外形框1"))->isHidden());
  const std::vector<int> cells = sim_->CaptchaCells(SessionId());
  ASSERT_FALSE(cells.empty());
  // Marked in reverse: the answer still follows cell order.
  for (auto cell = cells.rbegin(); cell != cells.rend(); ++cell) PressCell(*cell);
  MessageBoxCatcher boxes;
  Control<QPushButton>(QStringLiteral(u"超级按钮3"))->click();
  ASSERT_TRUE(WaitFor([this] { return !Control<QPushButton>(QStringLiteral(u"超级按钮1"))->isEnabled(); }));
  EXPECT_TRUE(boxes.Texts().isEmpty());
  EXPECT_TRUE(Control<QFrame>(QStringLiteral(u"外形框1"))->isHidden());
  EXPECT_FALSE(Control<QLineEdit>(QStringLiteral(u"编辑框1"))->isEnabled());
  EXPECT_FALSE(Control<QLineEdit>(QStringLiteral(u"编辑框2"))->isEnabled());

  auto* list = Control<QTreeWidget>(QStringLiteral(u"超级列表框1"));
  ASSERT_TRUE(WaitFor([list] { return list->topLevelItemCount() > 0; }));
  const std::vector<PassengerRecord> passengers = session_->Passengers();
  ASSERT_EQ(list->topLevelItemCount(), static_cast<int>(passengers.size()));
  for (int row = 0; row < list->topLevelItemCount(); ++row) {
    const PassengerRecord& p = passengers[static_cast<size_t>(row)];
    const QTreeWidgetItem* item = list->topLevelItem(row);
    EXPECT_EQ(item->text(0), QString::number(row + 1));
    EXPECT_EQ(item->text(1), FromGbk(p.passenger_name));
    EXPECT_EQ(item->text(2), FromGbk(p.sex_name));
    EXPECT_EQ(item->text(3), FromGbk(p.passenger_type_name + "(" + p.passenger_type + ")"));
    EXPECT_EQ(item->text(4), FromGbk(p.passenger_id_type_name + "[" + p.passenger_id_type_code + "]"));
    EXPECT_EQ(item->text(5), FromGbk(p.passenger_id_no));
    EXPECT_EQ(item->text(6), FromGbk(p.mobile_no));
    EXPECT_FALSE(item->text(1).isEmpty());
  }
  EXPECT_EQ(list->currentItem(), list->topLevelItem(0));
}

TEST_F(SignInTest, ConfirmingWithoutACellSendsNothing) {
  StartSim();
  OpenCaptcha();
  const int before = CountRequests(*sim_);
  MessageBoxCatcher boxes;
  Control<QPushButton>(QStringLiteral(u"超级按钮3"))->click();
  EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral(u"请选择验证码！")});
  EXPECT_FALSE(window_->Login().SignInRunning());
  EXPECT_EQ(CountRequests(*sim_), before);
  EXPECT_TRUE(Control<QPushButton>(QStringLiteral(u"超级按钮1"))->isEnabled());
}

TEST_F(SignInTest, WrongCellsClearTheMarksAndFetchANewPicture) {
  StartSim();
  OpenCaptcha();
  const std::vector<int> right = sim_->CaptchaCells(SessionId());
  int wrong = 1;
  while (std::find(right.begin(), right.end(), wrong) != right.end()) ++wrong;
  PressCell(wrong);
  const qint64 firstPicture = PictureKey();
  const int fetchesBefore = CountRequests(*sim_, service_paths::kCaptchaPicturePath);

  MessageBoxCatcher boxes;
  Control<QPushButton>(QStringLiteral(u"超级按钮3"))->click();
  ASSERT_TRUE(WaitFor([&] { return PictureKey() != firstPicture; }));
  EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral(u"验证码错误!请重新输入")});
  EXPECT_EQ(CountRequests(*sim_, service_paths::kCaptchaPicturePath), fetchesBefore + 1);
  for (int cell = 1; cell <= 8; ++cell) EXPECT_TRUE(Control<QLabel>(CellName(cell))->text().isEmpty()) << cell;
  for (const std::string& answer : window_->Login().CellAnswers()) EXPECT_TRUE(answer.empty());
  EXPECT_FALSE(Control<QFrame>(QStringLiteral(u"外形框1"))->isHidden());
  EXPECT_TRUE(Control<QPushButton>(QStringLiteral(u"超级按钮1"))->isEnabled());

  // The new picture signs in.
  for (int cell : sim_->CaptchaCells(SessionId())) PressCell(cell);
  Control<QPushButton>(QStringLiteral(u"超级按钮3"))->click();
  EXPECT_TRUE(WaitFor([this] { return !Control<QPushButton>(QStringLiteral(u"超级按钮1"))->isEnabled(); }));
}

TEST_F(SignInTest, WrongPasswordLeavesThePanelAsItIs) {
  StartSim();
  OpenCaptcha(QStringLiteral("demo"), QStringLiteral("not-the-password"));
  const std::vector<int> cells = sim_->CaptchaCells(SessionId());
  for (int cell : cells) PressCell(cell);
  const int loginsBefore = CountRequests(*sim_, service_paths::kLogin);

  MessageBoxCatcher boxes;
  Control<QPushButton>(QStringLiteral(u"超级按钮3"))->click();
  ASSERT_TRUE(WaitFor([this] { return !window_->Login().SignInRunning(); }));
  EXPECT_EQ(CountRequests(*sim_, service_paths::kLogin), loginsBefore + 1);
  EXPECT_TRUE(boxes.Texts().isEmpty());
  EXPECT_FALSE(Control<QFrame>(QStringLiteral(u"外形框1"))->isHidden());
  EXPECT_TRUE(Control<QPushButton>(QStringLiteral(u"超级按钮1"))->isEnabled());
  for (int cell : cells) EXPECT_EQ(Control<QLabel>(CellName(cell))->text(), QStringLiteral(u"√")) << cell;
}

}  // namespace
}  // namespace quillet::test
