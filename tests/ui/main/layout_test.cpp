// Both windows against the layout tables of the program's design: every
// control's class, parent, place, size, initial state, text and look.
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QDateTime>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <vector>

#include "ui/layouts.h"
#include "ui/order_dialog.h"
#include "ui/window_controls.h"
#include "window_fixture.h"

namespace quillet::test {
namespace {

enum State { Shown, Hidden, Disabled, Checked };
constexpr QRgb kNone = 0x01000000;  // colour not checked
constexpr QRgb kRed = 0xff0000;
constexpr QRgb kBlue = 0x0000ff;

struct Expected {
  const char16_t* name;
  const char* qtClass;
  const char16_t* parent;  // u"": the window; u"#1".."#4": that tab page (placed in tab-control coordinates)
  int left, top, width, height;
  State state;
  const char16_t* text;  // nullptr: the control has no caption to check
  int pixelSize = 0;     // 0: not checked
  bool bold = false;
  QRgb colour = kNone;
};

const std::vector<Expected>& MainWindowTable() {
  static const std::vector<Expected> table = {
      {u"分组框1", "QGroupBox", u"", 8, 8, 248, 504, Shown, u"12306信息"},
      {u"外形框1", "QFrame", u"", 296, 96, 416, 296, Hidden, nullptr},
      {u"高级选择夹1", "QTabWidget", u"", 256, 16, 728, 496, Shown, nullptr},
      {u"日期框2", "QDateEdit", u"", 672, 0, 80, 16, Hidden, nullptr},
      // The account area.
      {u"透明标签1", "QLabel", u"分组框1", 25, 32, 64, 24, Shown, u"12306帐号："},
      {u"编辑框1", "QLineEdit", u"分组框1", 102, 32, 128, 24, Shown, u""},
      {u"透明标签2", "QLabel", u"分组框1", 25, 82, 66, 24, Shown, u"12306密码："},
      {u"编辑框2", "QLineEdit", u"分组框1", 103, 82, 128, 24, Shown, u""},
      {u"超级按钮1", "QPushButton", u"分组框1", 80, 128, 96, 32, Shown, u"登录12306", 16, true},
      {u"透明标签3", "QLabel", u"分组框1", 7, 183, 80, 16, Shown, u"常用联系人"},
      {u"超级列表框1", "QTreeWidget", u"分组框1", -7, 200, 255, 296, Shown, nullptr},
      // The captcha panel.
      {u"图片框1", "QLabel", u"外形框1", 1, 1, 402, 255, Shown, nullptr},
      {u"透明标签7", "QLabel", u"外形框1", 0, 45, 97, 99, Shown, u"", 19, true, kRed},
      {u"透明标签8", "QLabel", u"外形框1", 102, 53, 97, 99, Shown, u"", 19, true, kRed},
      {u"透明标签9", "QLabel", u"外形框1", 202, 53, 97, 99, Shown, u"", 19, true, kRed},
      {u"透明标签10", "QLabel", u"外形框1", 303, 53, 97, 99, Shown, u"", 19, true, kRed},
      {u"透明标签11", "QLabel", u"图片框1", 0, 148, 97, 99, Shown, u"", 19, true, kRed},
      {u"透明标签12", "QLabel", u"图片框1", 102, 145, 97, 99, Shown, u"", 19, true, kRed},
      {u"透明标签13", "QLabel", u"图片框1", 202, 150, 97, 99, Shown, u"", 19, true, kRed},
      {u"透明标签14", "QLabel", u"图片框1", 302, 150, 100, 89, Shown, u"", 19, true, kRed},
      {u"超级按钮2", "QPushButton", u"外形框1", 92, 256, 80, 32, Shown, u"刷新验证码", 14, true},
      {u"超级按钮3", "QPushButton", u"外形框1", 208, 256, 80, 32, Shown, u"确认登录", 14, true},
      // Page 1.
      {u"透明标签4", "QLabel", u"#1", 21, 47, 57, 24, Shown, u"出发时间："},
      {u"日期框1", "QDateEdit", u"#1", 85, 48, 112, 24, Shown, nullptr},
      {u"透明标签5", "QLabel", u"#1", 218, 48, 48, 24, Shown, u"出发站："},
      {u"编辑框3", "QLineEdit", u"#1", 267, 46, 84, 24, Shown, u""},
      {u"组合框1", "QComboBox", u"#1", 268, 48, 101, 25, Shown, nullptr},
      {u"透明标签6", "QLabel", u"#1", 394, 48, 48, 24, Shown, u"到达站："},
      {u"编辑框4", "QLineEdit", u"#1", 444, 46, 88, 24, Shown, u""},
      {u"组合框2", "QComboBox", u"#1", 449, 48, 101, 20, Shown, nullptr},
      {u"单选框1", "QRadioButton", u"#1", 568, 32, 56, 24, Checked, u"成人票"},
      {u"单选框2", "QRadioButton", u"#1", 568, 64, 56, 24, Shown, u"学生票"},
      {u"超级按钮4", "QPushButton", u"#1", 646, 38, 58, 45, Shown, u"车票\n查询", 19, true},
      {u"分组框2", "QGroupBox", u"#1", 2, 88, 718, 408, Shown, u"列车查询结果"},
      {u"高级表格1", "QTableWidget", u"分组框2", 1, 18, 717, 383, Shown, nullptr},
      // Page 2.
      {u"分组框3", "QGroupBox", u"#2", 0, 32, 720, 240, Shown, u"当前抢票列表"},
      {u"超级列表框2", "QTreeWidget", u"分组框3", 0, 16, 720, 224, Shown, nullptr},
      {u"分组框4", "QGroupBox", u"#2", 0, 273, 352, 223, Shown, u"抢票信息记录"},
      {u"编辑框5", "QPlainTextEdit", u"#2", 0, 288, 232, 208, Shown, nullptr, 12, false, kRed},
      {u"透明标签20", "QLabel", u"分组框4", 238, 176, 105, 40, Shown, u"尝试次数：", 12, true, kRed},
      {u"超级按钮5", "QPushButton", u"#2", 240, 300, 89, 32, Shown, u"开始抢票", 16, true},
      {u"超级按钮6", "QPushButton", u"#2", 240, 363, 89, 32, Shown, u"停止抢票", 16, true},
      {u"分组框5", "QGroupBox", u"#2", 376, 274, 344, 222, Shown, u"预留空间"},
      {u"图片框2", "QLabel", u"分组框5", 0, 14, 344, 208, Shown, nullptr},
      // Page 3.
      {u"分组框6", "QGroupBox", u"#3", 0, 32, 728, 144, Shown, u"当前未完成订单列表"},
      {u"超级列表框3", "QTreeWidget", u"分组框6", 0, 16, 728, 128, Shown, nullptr},
      {u"透明标签17", "QLabel", u"#3", 15, 183, 135, 32, Shown, u"订单支付剩余时间：", 14, true},
      {u"标签1", "QLabel", u"#3", 151, 180, 93, 40, Shown, u"标签", 16, true, kRed},
      {u"超级按钮7", "QPushButton", u"#3", 359, 183, 89, 32, Shown, u"取消订单", 16, true},
      {u"超级按钮8", "QPushButton", u"#3", 506, 183, 89, 32, Shown, u"支付订单", 16, true},
      {u"分组框7", "QGroupBox", u"#3", 5, 232, 712, 256, Hidden, u"订单支付"},
      {u"单选框3", "QRadioButton", u"分组框7", 35, 40, 136, 24, Shown, u"微信支付"},
      {u"单选框4", "QRadioButton", u"分组框7", 36, 80, 136, 24, Shown, u"支付宝支付"},
      {u"单选框5", "QRadioButton", u"分组框7", 36, 118, 136, 24, Shown, u"单选框"},
      {u"透明标签15", "QLabel", u"分组框7", 16, 164, 144, 32, Shown, u"请选择支付方式", 14, true, kRed},
      {u"透明标签16", "QLabel", u"分组框7", 412, 6, 109, 32, Shown, u"支付二维码", 14, true, kRed},
      {u"分组框8", "QGroupBox", u"分组框7", 428, 32, 280, 205, Shown, u""},
      // Page 4.
      {u"分组框9", "QGroupBox", u"#4", 0, 40, 728, 448, Shown, u"当前未完成订单列表"},
      {u"透明标签18", "QLabel", u"分组框9", 32, 32, 57, 24, Shown, u"起始时间："},
      {u"日期框3", "QDateEdit", u"分组框9", 99, 33, 112, 24, Shown, nullptr},
      {u"透明标签19", "QLabel", u"分组框9", 256, 32, 57, 24, Shown, u"结束时间："},
      {u"日期框4", "QDateEdit", u"分组框9", 323, 33, 112, 24, Shown, nullptr},
      {u"超级按钮9", "QPushButton", u"#4", 481, 67, 89, 32, Shown, u"查询订单", 16, true},
      {u"超级列表框4", "QTreeWidget", u"分组框9", 0, 72, 728, 368, Shown, nullptr},
  };
  return table;
}

const std::vector<Expected>& OrderDialogTable() {
  static const std::vector<Expected> table = {
      {u"分组框1", "QGroupBox", u"", 8, 8, 408, 112, Shown, u"当前选择车次信息"},
      {u"透明标签1", "QLabel", u"", 18, 28, 56, 24, Shown, u"当前车次："},
      {u"编辑框1", "QLineEdit", u"", 80, 28, 96, 24, Disabled, u""},
      {u"透明标签2", "QLabel", u"", 207, 27, 56, 24, Shown, u"出发日期："},
      {u"编辑框2", "QLineEdit", u"", 270, 28, 96, 24, Disabled, u""},
      {u"透明标签3", "QLabel", u"", 24, 76, 56, 24, Shown, u"出发站："},
      {u"编辑框3", "QLineEdit", u"", 80, 76, 96, 24, Disabled, u""},
      {u"透明标签4", "QLabel", u"", 210, 75, 56, 24, Shown, u"到达站："},
      {u"编辑框4", "QLineEdit", u"", 271, 76, 96, 24, Disabled, u""},
      {u"分组框2", "QGroupBox", u"", 8, 121, 408, 199, Shown, u"选择乘客"},
      {u"超级按钮1", "QPushButton", u"", 67, 322, 80, 40, Shown, u"返回", 16, true},
      {u"超级按钮2", "QPushButton", u"", 252, 323, 80, 40, Shown, u"确认", 16, true},
      {u"透明标签5", "QLabel", u"分组框2", 23, 19, 56, 24, Shown, u"乘客："},
      {u"组合框1", "QComboBox", u"分组框2", 73, 20, 96, 20, Shown, nullptr},
      {u"透明标签8", "QLabel", u"分组框2", 209, 19, 40, 24, Shown, u"票种："},
      {u"组合框2", "QComboBox", u"分组框2", 255, 20, 96, 20, Shown, nullptr},
      {u"透明标签6", "QLabel", u"分组框2", 13, 56, 56, 24, Shown, u"证件类型："},
      {u"编辑框5", "QLineEdit", u"分组框2", 73, 60, 96, 19, Disabled, u""},
      {u"透明标签7", "QLabel", u"分组框2", 196, 55, 56, 24, Shown, u"证件号码："},
      {u"编辑框6", "QLineEdit", u"分组框2", 255, 57, 144, 19, Disabled, u""},
      {u"透明标签9", "QLabel", u"分组框2", 12, 88, 56, 24, Shown, u"座位类型："},
      {u"选择框1", "QCheckBox", u"分组框2", 72, 87, 64, 24, Shown, u"商务座"},
      {u"选择框2", "QCheckBox", u"分组框2", 147, 88, 64, 24, Shown, u"一等座"},
      {u"选择框3", "QCheckBox", u"分组框2", 227, 88, 64, 24, Shown, u"二等座"},
      {u"选择框4", "QCheckBox", u"分组框2", 312, 87, 64, 24, Shown, u"软卧"},
      {u"选择框5", "QCheckBox", u"分组框2", 72, 112, 64, 24, Shown, u"硬卧"},
      {u"选择框6", "QCheckBox", u"分组框2", 147, 112, 64, 24, Shown, u"软座"},
      {u"选择框7", "QCheckBox", u"分组框2", 227, 112, 64, 24, Shown, u"硬座"},
      {u"选择框8", "QCheckBox", u"分组框2", 312, 112, 64, 24, Shown, u"无座"},
      {u"透明标签10", "QLabel", u"分组框2", 8, 144, 56, 24, Shown, u"卧铺席位："},
      {u"组合框3", "QComboBox", u"分组框2", 73, 144, 96, 20, Shown, nullptr},
      {u"透明标签11", "QLabel", u"分组框2", 191, 142, 56, 24, Shown, u"高铁座位："},
      {u"组合框4", "QComboBox", u"分组框2", 255, 144, 88, 20, Shown, nullptr},
      {u"透明标签14", "QLabel", u"分组框2", 351, 142, 49, 24, Shown, u"仅限一、二等座", 0, false, kBlue},
      {u"透明标签12", "QLabel", u"分组框2", 8, 170, 80, 24, Shown, u"当前抢票顺序：", 0, false, kRed},
      {u"透明标签13", "QLabel", u"分组框2", 96, 170, 232, 24, Shown, u"", 0, false, kRed},
  };
  return table;
}

QString Text(const char16_t* text) { return QString::fromUtf16(text); }

QString Caption(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
  if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  return {};
}

// Checks every row of the table against the window, and that the window has
// no named control the table does not list.
void CheckWindow(QWidget* window, const std::vector<Expected>& table) {
  auto* tabs = FindControl<QTabWidget>(window, QStringLiteral(u"高级选择夹1"));
  QSet<QString> listed;
  for (const Expected& row : table) {
    const QString name = Text(row.name);
    listed.insert(name);
    SCOPED_TRACE(name.toStdString());
    QWidget* widget = FindControl<QWidget>(window, name);
    ASSERT_NE(widget, nullptr);
    EXPECT_TRUE(widget->inherits(row.qtClass)) << widget->metaObject()->className();

    const QString parent = Text(row.parent);
    QPoint place = widget->pos();
    if (parent.isEmpty()) {
      EXPECT_EQ(widget->parentWidget(), window);
    } else if (parent.startsWith(QLatin1Char('#'))) {
      ASSERT_NE(tabs, nullptr);
      EXPECT_EQ(widget->parentWidget(), tabs->widget(parent.mid(1).toInt() - 1));
      place = widget->mapTo(tabs, QPoint(0, 0));
    } else {
      EXPECT_EQ(widget->parentWidget()->objectName(), parent);
    }
    EXPECT_EQ(QRect(place, widget->size()), QRect(row.left, row.top, row.width, row.height));

    EXPECT_EQ(widget->isHidden(), row.state == Hidden);
    EXPECT_EQ(widget->isEnabled(), row.state != Disabled);
    if (auto* check = qobject_cast<QAbstractButton*>(widget); check && check->isCheckable()) {
      EXPECT_EQ(check->isChecked(), row.state == Checked);
    }
    if (row.text) {
      EXPECT_EQ(Caption(widget), Text(row.text));
    }
    if (row.pixelSize) {
      EXPECT_EQ(widget->font().pixelSize(), row.pixelSize);
      EXPECT_EQ(widget->font().weight() >= QFont::Bold, row.bold);
    }
    if (row.colour != kNone) {
      const QPalette::ColorRole role = qobject_cast<QPlainTextEdit*>(widget) ? QPalette::Text : QPalette::WindowText;
      EXPECT_EQ(widget->palette().color(role).rgb() & 0xffffff, row.colour);
    }
  }

  for (QObject* object : window->findChildren<QObject*>()) {
    const QString name = object->objectName();
    const bool control = object->isWidgetType() || qobject_cast<QTimer*>(object);
    if (!control || name.isEmpty() || name.startsWith(QStringLiteral("qt_")) || OwningWindow(object) != window) {
      continue;
    }
    if (tabs && object->parent() && object->parent()->parent() == tabs) continue;  // a tab page
    if (object->parent() && object->parent()->objectName().startsWith(QStringLiteral("qt_"))) continue;
    if (!qobject_cast<QTimer*>(object)) {
      EXPECT_TRUE(listed.contains(name)) << "unlisted control " << name.toStdString();
    }
  }
}

void CheckColumns(QWidget* window, const QString& listName, const std::vector<std::pair<const char16_t*, int>>& columns,
                  bool leftAlignedLast = false) {
  SCOPED_TRACE(listName.toStdString());
  auto* list = FindControl<QTreeWidget>(window, listName);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->columnCount(), static_cast<int>(columns.size()));
  EXPECT_TRUE(list->isHeaderHidden() == false);
  for (int i = 0; i < list->columnCount(); ++i) {
    const auto& [title, width] = columns[static_cast<size_t>(i)];
    EXPECT_EQ(list->headerItem()->text(i), Text(title));
    EXPECT_EQ(list->columnWidth(i), width);
    const bool left = i == 0 || (leftAlignedLast && i == list->columnCount() - 1);
    EXPECT_EQ(Qt::Alignment(list->headerItem()->textAlignment(i)) & Qt::AlignHorizontal_Mask,
              left ? Qt::AlignLeft : Qt::AlignHCenter)
        << "column " << i;
  }
}

class LayoutTest : public WindowTest {};

TEST_F(LayoutTest, MainWindowHasEveryControlInPlace) {
  Open();
  QWidget* window = window_.get();
  EXPECT_EQ(window->objectName(), QStringLiteral("MainWindow"));
  EXPECT_EQ(window->size(), QSize(992, 542));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());  // not resizable
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(window->palette().color(QPalette::Window), QColor(Qt::white));
  CheckWindow(window, MainWindowTable());
}

// The date pickers start at the session's reference date, China's today:
// not the machine's date, which behind China can still be yesterday.
TEST(LayoutDates, DatePickersStartAtTheReferenceDate) {
  SessionSettings settings;
  settings.service.address = "http://127.0.0.1:9";
  settings.referenceDate = "2026-12-11";
  Session session(settings);
  MainWindow window(session);
  for (const char16_t* name : {u"日期框1", u"日期框2", u"日期框3", u"日期框4"}) {
    auto* picker = FindControl<QDateEdit>(&window, QString::fromUtf16(name));
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->date(), QDate(2026, 12, 11)) << QString::fromUtf16(name).toStdString();
  }
}

// Without a reference date the layout takes today in China Standard Time.
TEST_F(LayoutTest, DatePickersWithoutAReferenceDateStartAtChinasToday) {
  QWidget bare;
  BuildMainWindowLayout(&bare);
  EXPECT_EQ(FindControl<QDateEdit>(&bare, QStringLiteral(u"日期框1"))->date(),
            QDateTime::currentDateTimeUtc().addSecs(8 * 3600).date());
}

TEST_F(LayoutTest, MainWindowTitleAtCreation) {
  Open();
  EXPECT_EQ(window_->windowTitle(), QStringLiteral(u"Quillet 当前版本：V1.0"));
}

TEST_F(LayoutTest, TabPagesListsTimersAndLook) {
  Open();
  QWidget* window = window_.get();
  auto* tabs = Control<QTabWidget>(QStringLiteral(u"高级选择夹1"));
  ASSERT_EQ(tabs->count(), 4);
  const std::pair<const char16_t*, const char16_t*> pages[] = {{u"火车票查询 ", u"12306火车票查询页面"},
                                                               {u" 车票预定 ", u"这里进行车票购买操作"},
                                                               {u"未完成订单", u"这里显示未完成订单以及订单支付"},
                                                               {u"已完成订单", u"这里查询已完成订单"}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(tabs->tabText(i), Text(pages[i].first));
    EXPECT_EQ(tabs->tabToolTip(i), Text(pages[i].second));
  }
  EXPECT_EQ(tabs->tabBar()->font().pixelSize(), 12);
  EXPECT_TRUE(tabs->tabBar()->font().bold());

  // clang-format off
  CheckColumns(window, QStringLiteral(u"超级列表框1"),
               {{u"序号", 40}, {u"姓名", 80}, {u"性别", 40}, {u"乘客类型", 80}, {u"证件类型", 60},
                {u"证件号", 150}, {u"手机号", 100}});
  CheckColumns(window, QStringLiteral(u"超级列表框2"),
               {{u"车次", 60}, {u"出发站", 65}, {u"到达站", 65}, {u"出发日期", 80}, {u"乘车人", 80},
                {u"乘客类型", 70}, {u"证件号码", 80}, {u"座位类型", 90}, {u"状态", 50}},
               true);
  const std::vector<std::pair<const char16_t*, int>> orderColumns = {
      {u"订单号", 60}, {u"订单日期", 90}, {u"车次", 50},     {u"出发站", 80},   {u"到达站", 80},
      {u"乘客", 60},   {u"车票信息", 120}, {u"车票数量", 60}, {u"车票金额", 60}, {u"可否取消", 60}};
  // clang-format on
  CheckColumns(window, QStringLiteral(u"超级列表框3"), orderColumns);
  CheckColumns(window, QStringLiteral(u"超级列表框4"), orderColumns);

  auto* clock = Control<QTimer>(QStringLiteral(u"时钟1"));
  EXPECT_TRUE(clock->isActive());
  EXPECT_EQ(clock->interval(), 1000);
  EXPECT_FALSE(Control<QTimer>(QStringLiteral(u"时钟2"))->isActive());

  auto* grid = Control<QTableWidget>(QStringLiteral(u"高级表格1"));
  EXPECT_EQ(grid->columnCount(), 14);
  EXPECT_EQ(grid->rowCount(), 1);
  EXPECT_TRUE(grid->horizontalHeader()->isHidden());

  auto* password = Control<QLineEdit>(QStringLiteral(u"编辑框2"));
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  EXPECT_EQ(Control<QLineEdit>(QStringLiteral(u"编辑框1"))->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  auto* log = Control<QPlainTextEdit>(QStringLiteral(u"编辑框5"));
  EXPECT_TRUE(log->isReadOnly());
  EXPECT_EQ(log->palette().color(QPalette::Base), QColor(Qt::black));

  // Flat buttons: light blue text (the style sheet is applied once polished).
  for (QPushButton* button : window->findChildren<QPushButton*>()) {
    if (!button->objectName().startsWith(QStringLiteral(u"超级按钮"))) continue;
    EXPECT_TRUE(button->isFlat()) << button->objectName().toStdString();
    button->ensurePolished();
    EXPECT_EQ(button->palette().color(QPalette::ButtonText), QColor(99, 180, 250))
        << button->objectName().toStdString();
  }
  // The decorative photograph is there.
  auto* photo = Control<QLabel>(QStringLiteral(u"图片框2"));
  EXPECT_FALSE(photo->pixmap().isNull());
  EXPECT_EQ(photo->pixmap().size(), QSize(434, 288));
}

// The window's creation handler lays out the grid's header row and greets the user.
TEST_F(LayoutTest, CreationLaysOutTheGridHeaderAndGreets) {
  Open();
  auto* grid = Control<QTableWidget>(QStringLiteral(u"高级表格1"));
  // clang-format off
  const char16_t* const headers[] = {u"车次", u"出发站", u"到达站", u"用时", u"商务座", u"一等座", u"二等座",
                                     u"软卧", u"硬卧", u"软座", u"硬座", u"无座", u"其他", u"能否购票"};
  // clang-format on
  ASSERT_EQ(grid->rowCount(), 1);
  for (int column = 0; column < 14; ++column) EXPECT_EQ(GridCellText(grid, 0, column), Text(headers[column]));
  EXPECT_EQ(grid->rowHeight(0), 40);
  const std::pair<int, int> widths[] = {{0, 40}, {2, 60}, {3, 60}, {13, 60}};
  for (const auto& [column, width] : widths) EXPECT_EQ(grid->columnWidth(column), width) << column;
  // The travel date starts as the reference date, the moment of creation.
  EXPECT_EQ(Control<QDateEdit>(QStringLiteral(u"日期框1"))->dateTime(),
            Control<QDateEdit>(QStringLiteral(u"日期框2"))->dateTime());
  EXPECT_EQ(Control<QPlainTextEdit>(QStringLiteral(u"编辑框5"))->toPlainText(),
            QStringLiteral(u"欢迎使用本软件，请多提意见！\n"));
}

// Overlapping controls: what the pointer reaches at a point of the window.
TEST_F(LayoutTest, OverlappingControlsStackAsDesigned) {
  Open();
  QWidget* window = window_.get();
  const auto topmostAt = [window](QWidget* control) {
    const QPoint centre = control->mapTo(window, control->rect().center());
    QWidget* hit = window->childAt(centre);
    while (hit && (hit->objectName().isEmpty() || hit->objectName().startsWith(QStringLiteral("qt_")))) {
      hit = hit->parentWidget();
    }
    return hit ? hit->objectName() : QString();
  };
  // The station edit boxes lie over their drop-down lists.
  EXPECT_EQ(topmostAt(Control<QLineEdit>(QStringLiteral(u"编辑框3"))), QStringLiteral(u"编辑框3"));
  EXPECT_EQ(topmostAt(Control<QLineEdit>(QStringLiteral(u"编辑框4"))), QStringLiteral(u"编辑框4"));
  // The log box lies over its group's frame.
  Control<QTabWidget>(QStringLiteral(u"高级选择夹1"))->setCurrentIndex(1);
  EXPECT_EQ(topmostAt(Control<QPlainTextEdit>(QStringLiteral(u"编辑框5"))), QStringLiteral(u"编辑框5"));
  // The captcha panel, once shown, lies over the tab control; its cells over the picture.
  Control<QFrame>(QStringLiteral(u"外形框1"))->show();
  for (int cell = 7; cell <= 14; ++cell) {
    const QString name = QStringLiteral(u"透明标签%1").arg(cell);
    EXPECT_EQ(topmostAt(Control<QLabel>(name)), name);
  }
}

// The typed controls the handlers use are the layout's controls of those names,
// each in its own window (both windows have an 编辑框1).
TEST_F(LayoutTest, TypedControlsAreTheLayoutsControlsOfTheirNames) {
  Open();
  const MainWindowControls& ui = window_->Controls();
  EXPECT_EQ(ui.window, window_.get());
  // clang-format off
  std::vector<std::pair<QObject*, QString>> main = {
      {ui.accountEdit, Text(u"编辑框1")},          {ui.passwordEdit, Text(u"编辑框2")},
      {ui.loginButton, Text(u"超级按钮1")},        {ui.passengerList, Text(u"超级列表框1")},
      {ui.captchaPanel, Text(u"外形框1")},         {ui.captchaPicture, Text(u"图片框1")},
      {ui.refreshCaptchaButton, Text(u"超级按钮2")}, {ui.confirmLoginButton, Text(u"超级按钮3")},
      {ui.pageTabs, Text(u"高级选择夹1")},         {ui.travelDateBox, Text(u"日期框1")},
      {ui.fromStationBox, Text(u"编辑框3")},       {ui.fromStationList, Text(u"组合框1")},
      {ui.toStationBox, Text(u"编辑框4")},         {ui.toStationList, Text(u"组合框2")},
      {ui.adultTicketButton, Text(u"单选框1")},    {ui.queryButton, Text(u"超级按钮4")},
      {ui.queryResultGroup, Text(u"分组框2")},     {ui.trainGrid, Text(u"高级表格1")},
      {ui.taskList, Text(u"超级列表框2")},         {ui.logBox, Text(u"编辑框5")},
      {ui.attemptLabel, Text(u"透明标签20")},      {ui.startGrabButton, Text(u"超级按钮5")},
      {ui.stopGrabButton, Text(u"超级按钮6")},     {ui.landscapePicture, Text(u"图片框2")},
      {ui.orderList, Text(u"超级列表框3")},        {ui.countdownLabel, Text(u"标签1")},
      {ui.loadOrdersButton, Text(u"超级按钮7")},   {ui.payOrderButton, Text(u"超级按钮8")},
      {ui.paymentGroup, Text(u"分组框7")},         {ui.clockTimer, Text(u"时钟1")},
      {ui.deadlineTimer, Text(u"时钟2")},
  };
  // clang-format on
  for (int cell = 1; cell <= kCaptchaCellCount; ++cell) {
    main.emplace_back(ui.captchaCells[static_cast<size_t>(cell - 1)], QStringLiteral(u"透明标签%1").arg(cell + 6));
  }
  for (const auto& [control, name] : main) {
    ASSERT_NE(control, nullptr) << name.toStdString();
    EXPECT_EQ(control->objectName(), name);
    EXPECT_EQ(OwningWindow(control), window_.get()) << name.toStdString();
  }

  const OrderDialog dialog(ui, *session_);
  const OrderDialogControls& box = dialog.Controls();
  EXPECT_EQ(box.dialog, &dialog);
  // clang-format off
  std::vector<std::pair<QObject*, QString>> order = {
      {box.trainEdit, Text(u"编辑框1")},       {box.dateEdit, Text(u"编辑框2")},
      {box.fromStationEdit, Text(u"编辑框3")}, {box.toStationEdit, Text(u"编辑框4")},
      {box.passengerBox, Text(u"组合框1")},    {box.ticketTypeBox, Text(u"组合框2")},
      {box.idTypeEdit, Text(u"编辑框5")},      {box.idNumberEdit, Text(u"编辑框6")},
      {box.berthBox, Text(u"组合框3")},        {box.seatLetterBox, Text(u"组合框4")},
      {box.seatOrderLabel, Text(u"透明标签13")}, {box.backButton, Text(u"超级按钮1")},
      {box.confirmButton, Text(u"超级按钮2")},
  };
  // clang-format on
  for (int seat = 1; seat <= kSeatBoxCount; ++seat) {
    order.emplace_back(box.seatBoxes[static_cast<size_t>(seat - 1)], QStringLiteral(u"选择框%1").arg(seat));
  }
  for (const auto& [control, name] : order) {
    ASSERT_NE(control, nullptr) << name.toStdString();
    EXPECT_EQ(control->objectName(), name);
    EXPECT_EQ(OwningWindow(control), &dialog) << name.toStdString();
  }
}

TEST(OrderDialogLayoutTest, HasEveryControlInPlace) {
  QDialog dialog;
  BuildOrderDialogLayout(&dialog);
  EXPECT_EQ(dialog.objectName(), QStringLiteral("OrderDialog"));
  EXPECT_EQ(dialog.size(), QSize(417, 366));
  EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(dialog.windowTitle().isEmpty());
  EXPECT_EQ(dialog.palette().color(QPalette::Window), QColor(192, 192, 192));
  CheckWindow(&dialog, OrderDialogTable());

  const std::pair<const char16_t*, QStringList> lists[] = {
      {u"组合框1", {}},
      {u"组合框2", {Text(u"成人票(1)"), Text(u"儿童票(2)"), Text(u"学生票(3)"), Text(u"残军票(4)")}},
      {u"组合框3", {Text(u"上铺"), Text(u"中铺"), Text(u"下铺")}},
      {u"组合框4",
       {QStringLiteral("1A"), QStringLiteral("1B"), QStringLiteral("1C"), QStringLiteral("1D"), QStringLiteral("1F")}},
  };
  for (const auto& [name, items] : lists) {
    auto* combo = FindControl<QComboBox>(&dialog, Text(name));
    ASSERT_NE(combo, nullptr);
    QStringList actual;
    for (int i = 0; i < combo->count(); ++i) actual << combo->itemText(i);
    EXPECT_EQ(actual, items);
    EXPECT_EQ(combo->currentIndex(), -1);  // nothing picked at first
    EXPECT_FALSE(combo->isEditable());
  }
}

}  // namespace
}  // namespace quillet::test
