// The order dialog opened from the train grid: when it opens, what it shows,
// the passenger's document, the seat order, the confirm checks and the task row.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <vector>

#include "session/session.h"
#include "ui/layouts.h"
#include "ui/purchase_page.h"
#include "ui/qt_session_view.h"
#include "window_helpers.h"

namespace quillet {

// The state a sign-in and the passenger load leave, without a service.
struct SessionTestAccess {
  static void SetSignedIn(Session& session, bool signedIn) {
    std::lock_guard lock(session.mutex_);
    session.signedIn_ = signedIn;
  }
  static void SetPassengers(Session& session, std::vector<PassengerRecord> passengers) {
    std::lock_guard lock(session.mutex_);
    session.passengers_ = std::move(passengers);
  }
};

}  // namespace quillet

namespace quillet::test {
namespace {

PassengerRecord Passenger(const char8_t* name, const char8_t* typeName, const char* type, const char* idNo) {
  PassengerRecord p;
  p.passenger_name = Gbk(name);
  p.sex_name = Gbk(u8"女");
  p.passenger_type = type;
  p.passenger_type_name = Gbk(typeName);
  p.passenger_id_type_code = "1";
  p.passenger_id_type_name = Gbk(u8"二代身份证");
  p.passenger_id_no = idNo;
  p.mobile_no = "13800000000";
  return p;
}

// A main window with the real layout and purchase page, a query result of two
// trains and the account's passengers as the sign-in leaves them. Two
// passengers share a name; the first of them in the list is the adult.
class OrderDialogTest : public ::testing::Test {
 protected:
  static SessionSettings QuietSettings() {
    SessionSettings settings;
    settings.service.address = "http://127.0.0.1:9";  // never reached
    return settings;
  }
  void SetUp() override {
    BuildMainWindowLayout(&window_);
    view_ = std::make_unique<QtSessionView>(ResolveMainWindowControls(&window_), [this] { return session_.Status(); });
    session_.AddObserver(*view_);
    page_ = std::make_unique<PurchasePage>(ResolveMainWindowControls(&window_), session_);

    grid_ = Find<QTableWidget>(&window_, u"高级表格1");
    grid_->setRowCount(3);
    grid_->setItem(0, 0, new QTableWidgetItem(Q(u8"车次")));
    grid_->setItem(1, 0, new QTableWidgetItem(QStringLiteral("G101")));
    grid_->setItem(2, 0, new QTableWidgetItem(QStringLiteral("K511")));
    Find<QDateEdit>(&window_, u"日期框1")->setDate(QDate(2027, 1, 15));
    Find<QLineEdit>(&window_, u"编辑框3")->setText(Q(u8"北京|BJP"));
    Find<QLineEdit>(&window_, u"编辑框4")->setText(Q(u8"上海|SHH"));

    SessionTestAccess::SetPassengers(session_, {
                                                   Passenger(u8"王芳", u8"成人", "1", "110101199001010011"),
                                                   Passenger(u8"李雷", u8"学生", "3", "110101200502020022"),
                                                   Passenger(u8"王芳", u8"学生", "3", "110101200603030033"),
                                               });
    auto* list = Find<QTreeWidget>(&window_, u"超级列表框1");
    int number = 1;
    for (const PassengerRecord& p : session_.Passengers()) {
      auto* row = new QTreeWidgetItem(list);
      row->setText(0, QString::number(number++));
      row->setText(1, QString::fromStdString(Utf8FromGbk(p.passenger_name)));
      row->setText(4, Q(u8"二代身份证[1]"));
      row->setText(5, QString::fromStdString(p.passenger_id_no));
    }
    window_.show();
  }

  void TearDown() override { session_.RemoveObserver(*view_); }

  void SignIn() { SessionTestAccess::SetSignedIn(session_, true); }

  // Double-clicks the train row as the user does; `inside` runs while the
  // dialog is open and must close it.
  void OpenDialog(int row, const std::function<void(QDialog*)>& inside) {
    ModalWatch watch([&](QWidget* modal) {
      auto* dialog = qobject_cast<QDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      inside(dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    // A real double-click: a click, then the second press that the toolkit
    // reports as a double-click.
    const QPoint cell = grid_->visualItemRect(grid_->item(row, 0)).center();
    QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(grid_->viewport(), Qt::LeftButton, {}, cell);
    EXPECT_TRUE(watch.Fired());
  }

  // Clicks 确认 and returns the message it shows (empty when it shows none).
  static QString Confirm(QDialog* dialog) {
    QString message;
    ModalWatch watch([&](QWidget* box) { message = CloseMessageBox(box); }, dialog);
    QTest::mouseClick(Find<QPushButton>(dialog, u"超级按钮2"), Qt::LeftButton);
    return message;
  }

  static void Tick(QDialog* dialog, const char16_t* box) {
    QTest::mouseClick(Find<QCheckBox>(dialog, box), Qt::LeftButton, {}, QPoint(5, 10));
  }
  static QString SeatOrder(QDialog* dialog) { return Find<QLabel>(dialog, u"透明标签13")->text(); }
  int TaskRows() { return Find<QTreeWidget>(&window_, u"超级列表框2")->topLevelItemCount(); }

  QWidget window_;
  Session session_{QuietSettings()};
  std::unique_ptr<QtSessionView> view_;
  std::unique_ptr<PurchasePage> page_;
  QTableWidget* grid_ = nullptr;
};

TEST_F(OrderDialogTest, OpensOnlyForATrainRowOnceSignedIn) {
  struct Case {
    const char* what;
    bool signedIn;
    int currentRow;
    const char8_t* message;  // nullptr: no message box
    bool dialog;
  };
  const Case cases[] = {
      {"no current row, signed out", false, -1, nullptr, false},
      {"no current row, signed in", true, -1, nullptr, false},
      {"train row, signed out", false, 1, u8"请先登录12306帐号！", false},
      {"header row", true, 0, nullptr, false},
      {"train row, signed in", true, 1, nullptr, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SessionTestAccess::SetSignedIn(session_, c.signedIn);
    grid_->setCurrentCell(c.currentRow, c.currentRow < 0 ? -1 : 0);

    // Whatever opens is recorded and closed; a call that opens nothing returns at once.
    QString message;
    bool dialogShown = false;
    ModalWatch watch([&](QWidget* modal) {
      if (qobject_cast<QMessageBox*>(modal)) {
        message = CloseMessageBox(modal);
      } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialogShown = true;
        dialog->reject();
      }
    });
    page_->OnTrainGridDoubleClicked();

    EXPECT_EQ(message, c.message ? Q(c.message) : QString());
    EXPECT_EQ(dialogShown, c.dialog);
    EXPECT_EQ(TaskRows(), 0);
  }
}

TEST_F(OrderDialogTest, ShowsTheDoubleClickedTrainAndTheLoadedPassengers) {
  SignIn();
  OpenDialog(2, [&](QDialog* dialog) {
    EXPECT_EQ(dialog->objectName(), QStringLiteral("OrderDialog"));
    EXPECT_TRUE(dialog->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(dialog->isModal());
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((dialog->frameGeometry().center() - screenCentre).manhattanLength(), 2);

    EXPECT_EQ(Find<QLineEdit>(dialog, u"编辑框1")->text(), QStringLiteral("K511"));
    EXPECT_EQ(Find<QLineEdit>(dialog, u"编辑框2")->text(), QStringLiteral("2027-01-15"));
    EXPECT_EQ(Find<QLineEdit>(dialog, u"编辑框3")->text(), Q(u8"北京|BJP"));
    EXPECT_EQ(Find<QLineEdit>(dialog, u"编辑框4")->text(), Q(u8"上海|SHH"));
    auto* passengers = Find<QComboBox>(dialog, u"组合框1");
    ASSERT_EQ(passengers->count(), 3);
    EXPECT_EQ(passengers->itemText(0), Q(u8"王芳(成人[1])"));
    EXPECT_EQ(passengers->itemText(1), Q(u8"李雷(学生[3])"));
    EXPECT_EQ(passengers->itemText(2), Q(u8"王芳(学生[3])"));
    EXPECT_EQ(passengers->currentIndex(), -1);
    EXPECT_EQ(Find<QComboBox>(dialog, u"组合框2")->currentIndex(), -1);
    EXPECT_TRUE(SeatOrder(dialog).isEmpty());

    // "返回" closes it and adds nothing.
    QTest::mouseClick(Find<QPushButton>(dialog, u"超级按钮1"), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
  });
  EXPECT_EQ(TaskRows(), 0);
  EXPECT_EQ(Find<QTabWidget>(&window_, u"高级选择夹1")->currentIndex(), 0);
}

TEST_F(OrderDialogTest, PickedPassengerShowsTheFirstListRowWithThatName) {
  SignIn();
  OpenDialog(1, [&](QDialog* dialog) {
    auto* passengers = Find<QComboBox>(dialog, u"组合框1");
    auto* idType = Find<QLineEdit>(dialog, u"编辑框5");
    auto* idNo = Find<QLineEdit>(dialog, u"编辑框6");

    PickItem(passengers, 1);
    EXPECT_EQ(idType->text(), Q(u8"二代身份证[1]"));
    EXPECT_EQ(idNo->text(), QStringLiteral("110101200502020022"));

    // The second 王芳 is the student, but the list's first 王芳 row decides.
    PickItem(passengers, 2);
    EXPECT_EQ(idNo->text(), QStringLiteral("110101199001010011"));

    // A name missing from the list leaves both boxes as they were.
    passengers->addItem(Q(u8"韩梅梅(成人[1])"));
    PickItem(passengers, 3);
    EXPECT_EQ(idType->text(), Q(u8"二代身份证[1]"));
    EXPECT_EQ(idNo->text(), QStringLiteral("110101199001010011"));
  });
}

TEST_F(OrderDialogTest, SeatOrderFollowsTheTickingOrder) {
  SignIn();
  OpenDialog(1, [&](QDialog* dialog) {
    Tick(dialog, u"选择框7");  // 硬座
    EXPECT_EQ(SeatOrder(dialog), Q(u8"硬座| ,"));
    Tick(dialog, u"选择框1");  // 商务座
    EXPECT_EQ(SeatOrder(dialog), Q(u8"硬座| ,商务座| ,"));
    Tick(dialog, u"选择框7");  // untick 硬座
    EXPECT_EQ(SeatOrder(dialog), Q(u8"商务座| ,"));
    Tick(dialog, u"选择框7");  // tick it again: it moves to the end
    EXPECT_EQ(SeatOrder(dialog), Q(u8"商务座| ,硬座| ,"));
  });
}

TEST_F(OrderDialogTest, ConfirmReportsTheFirstMissingPieceAndStaysOpen) {
  SignIn();
  struct Case {
    const char* what;
    bool clearDeparture, passenger, ticketType, seat;
    const char8_t* message;
  };
  const Case cases[] = {
      {"no departure station", true, true, true, true, u8"列车信息不完整,请重新确认！"},
      {"no passenger", false, false, true, true, u8"乘车人信息不完整,请重新确认！"},
      {"no ticket type", false, true, false, true, u8"请选择车票类型！"},
      {"no seat class", false, true, true, false, u8"请选择座位类型！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Find<QLineEdit>(&window_, u"编辑框3")->setText(c.clearDeparture ? QString() : Q(u8"北京|BJP"));
    OpenDialog(1, [&](QDialog* dialog) {
      if (c.passenger) PickItem(Find<QComboBox>(dialog, u"组合框1"), 0);
      if (c.ticketType) PickItem(Find<QComboBox>(dialog, u"组合框2"), 0);
      if (c.seat) Tick(dialog, u"选择框3");
      EXPECT_EQ(Confirm(dialog), Q(c.message));
      EXPECT_TRUE(dialog->isVisible());
    });
    EXPECT_EQ(TaskRows(), 0);
  }
}

TEST_F(OrderDialogTest, ConfirmAddsTheTaskRowAndShowsThePurchasePage) {
  SignIn();
  auto* tabs = Find<QTabWidget>(&window_, u"高级选择夹1");
  // The same wish twice gives two identical rows.
  for (int round = 0; round < 2; ++round) {
    tabs->setCurrentIndex(0);
    OpenDialog(1, [&](QDialog* dialog) {
      PickItem(Find<QComboBox>(dialog, u"组合框1"), 1);
      PickItem(Find<QComboBox>(dialog, u"组合框2"), 2);
      Tick(dialog, u"选择框5");  // 硬卧
      Tick(dialog, u"选择框3");  // 二等座
      EXPECT_EQ(Confirm(dialog), QString());
      EXPECT_FALSE(dialog->isVisible());
      EXPECT_EQ(dialog->result(), QDialog::Accepted);
    });
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(tabs->tabText(1), Q(u8" 车票预定 "));
  }

  auto* tasks = Find<QTreeWidget>(&window_, u"超级列表框2");
  ASSERT_EQ(tasks->topLevelItemCount(), 2);
  const QStringList expected = {QStringLiteral("G101"),
                                Q(u8"北京|BJP"),
                                Q(u8"上海|SHH"),
                                QStringLiteral("2027-01-15"),
                                Q(u8"李雷(学生[3])"),
                                Q(u8"学生票(3)"),
                                Q(u8"二代身份证[1](110101200502020022)"),
                                Q(u8"硬卧| ,二等座| ,"),
                                QString()};
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < expected.size(); ++c) EXPECT_EQ(tasks->topLevelItem(r)->text(c), expected[c]) << r << "," << c;
}

}  // namespace
}  // namespace quillet::test
