// The control tables of the two windows. Order matters: a parent comes before
// its children, and a later control lies above an earlier one (the station
// edit boxes above their drop-down lists, the captcha panel above the tab
// control, the captcha cells above the picture).
#include "grab/order_tables.h"
#include "ui/gbk_qt.h"
#include "ui/layouts.h"
#include "ui/order_form.h"
#include "ui/seat_positions.h"

namespace quillet {

namespace {

// The tables keep their hand-made line breaks: a control or two per line.
// clang-format off
using K = ControlKind;

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kLightGrey(192, 192, 192);

ControlLook Font(const QString& face, int px, bool bold = true, QColor text = {}) { return {face, px, bold, text, {}}; }
ControlLook Bold(int px, QColor text = {}) { return {{}, px, true, text, {}}; }
ControlLook TextColour(QColor text) { return {{}, 0, false, text, {}}; }
ControlLook Kaiti16() { return Font(QStringLiteral(u"楷体"), 16); }
ControlLook CaptchaCell() { return Font(QStringLiteral(u"微软雅黑"), 19, true, kRed); }
ControlLook BlueCaption() { return {{}, 0, false, kBlue, kLightGrey}; }

std::vector<ColumnSpec> OrderColumns() {
  return {{QStringLiteral(u"订单号"), 60},   {QStringLiteral(u"订单日期"), 90}, {QStringLiteral(u"车次"), 50},
          {QStringLiteral(u"出发站"), 80},   {QStringLiteral(u"到达站"), 80},   {QStringLiteral(u"乘客"), 60},
          {QStringLiteral(u"车票信息"), 120}, {QStringLiteral(u"车票数量"), 60}, {QStringLiteral(u"车票金额"), 60},
          {QStringLiteral(u"可否取消"), 60}};
}

ControlEntry Cell(const QString& name, const QString& parent, QRect geometry) {
  return {.name = name,
          .kind = K::TransparentLabel,
          .parent = parent,
          .geometry = geometry,
          .flags = kCentredText,
          .look = CaptchaCell()};
}

// 选择框n shows the seat type of the dialog's box n.
ControlEntry SeatBox(int box, QRect geometry) {
  QString seat;
  for (const SeatType& type : SeatTypes()) {
    if (DialogBoxOf(type) == box) seat = FromGbk(type.name());
  }
  return {.name = QStringLiteral(u"选择框%1").arg(box),
          .kind = K::CheckBox,
          .parent = QStringLiteral(u"分组框2"),
          .geometry = geometry,
          .text = seat};
}

QStringList TicketTypeList() {
  QStringList items;
  for (const std::string& item : TicketTypeItems()) items << FromGbk(item);
  return items;
}

std::vector<ControlEntry> MakeMainWindowLayout() {
  const QString group1 = QStringLiteral(u"分组框1");
  const QString tabs = QStringLiteral(u"高级选择夹1");
  const QString page1 = QStringLiteral(u"选择夹页1");
  const QString page2 = QStringLiteral(u"选择夹页2");
  const QString page3 = QStringLiteral(u"选择夹页3");
  const QString page4 = QStringLiteral(u"选择夹页4");
  const QString panel = QStringLiteral(u"外形框1");
  const QString picture = QStringLiteral(u"图片框1");
  return {
      // The account area.
      {.name = group1, .kind = K::GroupBox, .geometry = {8, 8, 248, 504}, .text = QStringLiteral(u"12306信息")},
      {.name = QStringLiteral(u"透明标签1"), .parent = group1, .geometry = {25, 32, 64, 24},
       .text = QStringLiteral(u"12306帐号：")},
      {.name = QStringLiteral(u"编辑框1"), .kind = K::EditBox, .parent = group1, .geometry = {102, 32, 128, 24},
       .flags = kCentredText},
      {.name = QStringLiteral(u"透明标签2"), .parent = group1, .geometry = {25, 82, 66, 24},
       .text = QStringLiteral(u"12306密码：")},
      {.name = QStringLiteral(u"编辑框2"), .kind = K::EditBox, .parent = group1, .geometry = {103, 82, 128, 24},
       .flags = kCentredText | kPassword},
      {.name = QStringLiteral(u"超级按钮1"), .kind = K::FlatButton, .parent = group1, .geometry = {80, 128, 96, 32},
       .text = QStringLiteral(u"登录12306"), .look = Kaiti16()},
      {.name = QStringLiteral(u"透明标签3"), .parent = group1, .geometry = {7, 183, 80, 16},
       .text = QStringLiteral(u"常用联系人")},
      {.name = QStringLiteral(u"超级列表框1"), .kind = K::ListView, .parent = group1, .geometry = {-7, 200, 255, 296},
       .columns = {{QStringLiteral(u"序号"), 40}, {QStringLiteral(u"姓名"), 80}, {QStringLiteral(u"性别"), 40},
                   {QStringLiteral(u"乘客类型"), 80}, {QStringLiteral(u"证件类型"), 60},
                   {QStringLiteral(u"证件号"), 150}, {QStringLiteral(u"手机号"), 100}}},

      // The tab control and its pages.
      {.name = tabs, .kind = K::TabControl, .geometry = {256, 16, 728, 496}, .look = Bold(12)},
      {.name = page1, .kind = K::TabPage, .parent = tabs, .text = QStringLiteral(u"火车票查询 "),
       .hint = QStringLiteral(u"12306火车票查询页面")},
      {.name = page2, .kind = K::TabPage, .parent = tabs, .text = QStringLiteral(u" 车票预定 "),
       .hint = QStringLiteral(u"这里进行车票购买操作")},
      {.name = page3, .kind = K::TabPage, .parent = tabs, .text = QStringLiteral(u"未完成订单"),
       .hint = QStringLiteral(u"这里显示未完成订单以及订单支付")},
      {.name = page4, .kind = K::TabPage, .parent = tabs, .text = QStringLiteral(u"已完成订单"),
       .hint = QStringLiteral(u"这里查询已完成订单")},

      // Page 1: the query page.
      {.name = QStringLiteral(u"透明标签4"), .parent = page1, .geometry = {21, 47, 57, 24},
       .text = QStringLiteral(u"出发时间：")},
      {.name = QStringLiteral(u"日期框1"), .kind = K::DatePicker, .parent = page1, .geometry = {85, 48, 112, 24}},
      {.name = QStringLiteral(u"透明标签5"), .parent = page1, .geometry = {218, 48, 48, 24},
       .text = QStringLiteral(u"出发站：")},
      {.name = QStringLiteral(u"组合框1"), .kind = K::DropDown, .parent = page1, .geometry = {268, 48, 101, 25}},
      {.name = QStringLiteral(u"编辑框3"), .kind = K::EditBox, .parent = page1, .geometry = {267, 46, 84, 24}},
      {.name = QStringLiteral(u"透明标签6"), .parent = page1, .geometry = {394, 48, 48, 24},
       .text = QStringLiteral(u"到达站：")},
      {.name = QStringLiteral(u"组合框2"), .kind = K::DropDown, .parent = page1, .geometry = {449, 48, 101, 20}},
      {.name = QStringLiteral(u"编辑框4"), .kind = K::EditBox, .parent = page1, .geometry = {444, 46, 88, 24}},
      {.name = QStringLiteral(u"单选框1"), .kind = K::RadioButton, .parent = page1, .geometry = {568, 32, 56, 24},
       .flags = kChecked, .text = QStringLiteral(u"成人票")},
      {.name = QStringLiteral(u"单选框2"), .kind = K::RadioButton, .parent = page1, .geometry = {568, 64, 56, 24},
       .text = QStringLiteral(u"学生票")},
      {.name = QStringLiteral(u"超级按钮4"), .kind = K::FlatButton, .parent = page1, .geometry = {646, 38, 58, 45},
       .text = QStringLiteral(u"车票\n查询"), .look = Font(QStringLiteral(u"新宋体"), 19)},
      {.name = QStringLiteral(u"分组框2"), .kind = K::GroupBox, .parent = page1, .geometry = {2, 88, 718, 408},
       .text = QStringLiteral(u"列车查询结果")},
      {.name = QStringLiteral(u"高级表格1"), .kind = K::Grid, .parent = QStringLiteral(u"分组框2"),
       .geometry = {1, 18, 717, 383}, .gridColumns = 14, .gridRows = 1},

      // Page 2: the purchase page.
      {.name = QStringLiteral(u"分组框3"), .kind = K::GroupBox, .parent = page2, .geometry = {0, 32, 720, 240},
       .text = QStringLiteral(u"当前抢票列表")},
      {.name = QStringLiteral(u"超级列表框2"), .kind = K::ListView, .parent = QStringLiteral(u"分组框3"),
       .geometry = {0, 16, 720, 224},
       .columns = {{QStringLiteral(u"车次"), 60}, {QStringLiteral(u"出发站"), 65}, {QStringLiteral(u"到达站"), 65},
                   {QStringLiteral(u"出发日期"), 80}, {QStringLiteral(u"乘车人"), 80},
                   {QStringLiteral(u"乘客类型"), 70}, {QStringLiteral(u"证件号码"), 80},
                   {QStringLiteral(u"座位类型"), 90}, {QStringLiteral(u"状态"), 50, true}}},
      {.name = QStringLiteral(u"分组框4"), .kind = K::GroupBox, .parent = page2, .geometry = {0, 273, 352, 223},
       .text = QStringLiteral(u"抢票信息记录")},
      {.name = QStringLiteral(u"编辑框5"), .kind = K::LogBox, .parent = page2, .geometry = {0, 288, 232, 208},
       .look = {{}, 12, false, kRed, kBlack}},
      {.name = QStringLiteral(u"透明标签20"), .parent = QStringLiteral(u"分组框4"), .geometry = {238, 176, 105, 40},
       .text = QStringLiteral(u"尝试次数："), .look = Bold(12, kRed)},
      {.name = QStringLiteral(u"超级按钮5"), .kind = K::FlatButton, .parent = page2, .geometry = {240, 300, 89, 32},
       .text = QStringLiteral(u"开始抢票"), .look = Kaiti16()},
      {.name = QStringLiteral(u"超级按钮6"), .kind = K::FlatButton, .parent = page2, .geometry = {240, 363, 89, 32},
       .text = QStringLiteral(u"停止抢票"), .look = Kaiti16()},
      {.name = QStringLiteral(u"分组框5"), .kind = K::GroupBox, .parent = page2, .geometry = {376, 274, 344, 222},
       .text = QStringLiteral(u"预留空间")},
      {.name = QStringLiteral(u"图片框2"), .kind = K::PictureBox, .parent = QStringLiteral(u"分组框5"),
       .geometry = {0, 14, 344, 208}},

      // Page 3: uncompleted orders.
      {.name = QStringLiteral(u"分组框6"), .kind = K::GroupBox, .parent = page3, .geometry = {0, 32, 728, 144},
       .text = QStringLiteral(u"当前未完成订单列表")},
      {.name = QStringLiteral(u"超级列表框3"), .kind = K::ListView, .parent = QStringLiteral(u"分组框6"),
       .geometry = {0, 16, 728, 128}, .columns = OrderColumns()},
      {.name = QStringLiteral(u"透明标签17"), .parent = page3, .geometry = {15, 183, 135, 32},
       .text = QStringLiteral(u"订单支付剩余时间："), .look = Bold(14)},
      {.name = QStringLiteral(u"标签1"), .kind = K::Label, .parent = page3, .geometry = {151, 180, 93, 40},
       .flags = kCentredText, .text = QStringLiteral(u"标签"), .look = {QStringLiteral(u"黑体"), 16, true, kRed, kLightGrey}},
      {.name = QStringLiteral(u"超级按钮7"), .kind = K::FlatButton, .parent = page3, .geometry = {359, 183, 89, 32},
       .text = QStringLiteral(u"取消订单"), .look = Kaiti16()},
      {.name = QStringLiteral(u"超级按钮8"), .kind = K::FlatButton, .parent = page3, .geometry = {506, 183, 89, 32},
       .text = QStringLiteral(u"支付订单"), .look = Kaiti16()},
      {.name = QStringLiteral(u"分组框7"), .kind = K::GroupBox, .parent = page3, .geometry = {5, 232, 712, 256},
       .flags = kHidden, .text = QStringLiteral(u"订单支付")},
      {.name = QStringLiteral(u"单选框3"), .kind = K::RadioButton, .parent = QStringLiteral(u"分组框7"),
       .geometry = {35, 40, 136, 24}, .text = QStringLiteral(u"微信支付")},
      {.name = QStringLiteral(u"单选框4"), .kind = K::RadioButton, .parent = QStringLiteral(u"分组框7"),
       .geometry = {36, 80, 136, 24}, .text = QStringLiteral(u"支付宝支付")},
      {.name = QStringLiteral(u"单选框5"), .kind = K::RadioButton, .parent = QStringLiteral(u"分组框7"),
       .geometry = {36, 118, 136, 24}, .text = QStringLiteral(u"单选框")},
      {.name = QStringLiteral(u"透明标签15"), .parent = QStringLiteral(u"分组框7"), .geometry = {16, 164, 144, 32},
       .text = QStringLiteral(u"请选择支付方式"), .look = Bold(14, kRed)},
      {.name = QStringLiteral(u"透明标签16"), .parent = QStringLiteral(u"分组框7"), .geometry = {412, 6, 109, 32},
       .text = QStringLiteral(u"支付二维码"), .look = Bold(14, kRed)},
      {.name = QStringLiteral(u"分组框8"), .kind = K::GroupBox, .parent = QStringLiteral(u"分组框7"),
       .geometry = {428, 32, 280, 205}},

      // Page 4: completed orders (a layout only).
      {.name = QStringLiteral(u"分组框9"), .kind = K::GroupBox, .parent = page4, .geometry = {0, 40, 728, 448},
       .text = QStringLiteral(u"当前未完成订单列表")},
      {.name = QStringLiteral(u"透明标签18"), .parent = QStringLiteral(u"分组框9"), .geometry = {32, 32, 57, 24},
       .text = QStringLiteral(u"起始时间：")},
      {.name = QStringLiteral(u"日期框3"), .kind = K::DatePicker, .parent = QStringLiteral(u"分组框9"),
       .geometry = {99, 33, 112, 24}},
      {.name = QStringLiteral(u"透明标签19"), .parent = QStringLiteral(u"分组框9"), .geometry = {256, 32, 57, 24},
       .text = QStringLiteral(u"结束时间：")},
      {.name = QStringLiteral(u"日期框4"), .kind = K::DatePicker, .parent = QStringLiteral(u"分组框9"),
       .geometry = {323, 33, 112, 24}},
      {.name = QStringLiteral(u"超级按钮9"), .kind = K::FlatButton, .parent = page4, .geometry = {481, 67, 89, 32},
       .text = QStringLiteral(u"查询订单"), .look = Kaiti16()},
      {.name = QStringLiteral(u"超级列表框4"), .kind = K::ListView, .parent = QStringLiteral(u"分组框9"),
       .geometry = {0, 72, 728, 368}, .columns = OrderColumns()},

      // The captcha panel, above the tab control when shown.
      {.name = panel, .kind = K::Panel, .geometry = {296, 96, 416, 296}, .flags = kHidden,
       .look = {{}, 0, false, {}, kWhite}},
      {.name = picture, .kind = K::PictureBox, .parent = panel, .geometry = {1, 1, 402, 255},
       .look = {{}, 0, false, {}, kWhite}},
      Cell(QStringLiteral(u"透明标签7"), panel, {0, 45, 97, 99}),
      Cell(QStringLiteral(u"透明标签8"), panel, {102, 53, 97, 99}),
      Cell(QStringLiteral(u"透明标签9"), panel, {202, 53, 97, 99}),
      Cell(QStringLiteral(u"透明标签10"), panel, {303, 53, 97, 99}),
      Cell(QStringLiteral(u"透明标签11"), picture, {0, 148, 97, 99}),
      Cell(QStringLiteral(u"透明标签12"), picture, {102, 145, 97, 99}),
      Cell(QStringLiteral(u"透明标签13"), picture, {202, 150, 97, 99}),
      Cell(QStringLiteral(u"透明标签14"), picture, {302, 150, 100, 89}),
      {.name = QStringLiteral(u"超级按钮2"), .kind = K::FlatButton, .parent = panel, .geometry = {92, 256, 80, 32},
       .text = QStringLiteral(u"刷新验证码"), .look = Bold(14)},
      {.name = QStringLiteral(u"超级按钮3"), .kind = K::FlatButton, .parent = panel, .geometry = {208, 256, 80, 32},
       .text = QStringLiteral(u"确认登录"), .look = Bold(14)},

      // The hidden reference date, and the two timers.
      {.name = QStringLiteral(u"日期框2"), .kind = K::DatePicker, .geometry = {672, 0, 80, 16}, .flags = kHidden},
      {.name = QStringLiteral(u"时钟1"), .kind = K::Timer, .flags = kRunning, .interval = 1000},
      {.name = QStringLiteral(u"时钟2"), .kind = K::Timer, .interval = 0},
  };
}

std::vector<ControlEntry> MakeOrderDialogLayout() {
  const QString group2 = QStringLiteral(u"分组框2");
  const auto label = [&group2](const char16_t* name, QRect geometry, const char16_t* text, QColor colour = {},
                               bool inGroup2 = true) {
    return ControlEntry{.name = QString::fromUtf16(name), .parent = inGroup2 ? group2 : QString(),
                       .geometry = geometry, .text = QString::fromUtf16(text), .look = TextColour(colour)};
  };
  const auto field = [&group2](const char16_t* name, QRect geometry, bool inGroup2, unsigned flags) {
    return ControlEntry{.name = QString::fromUtf16(name), .kind = K::EditBox, .parent = inGroup2 ? group2 : QString(),
                       .geometry = geometry, .flags = kDisabled | flags};
  };
  return {
      {.name = QStringLiteral(u"分组框1"), .kind = K::GroupBox, .geometry = {8, 8, 408, 112},
       .text = QStringLiteral(u"当前选择车次信息"), .look = BlueCaption()},
      label(u"透明标签1", {18, 28, 56, 24}, u"当前车次：", {}, false),
      field(u"编辑框1", {80, 28, 96, 24}, false, kCentredText),
      label(u"透明标签2", {207, 27, 56, 24}, u"出发日期：", {}, false),
      field(u"编辑框2", {270, 28, 96, 24}, false, kCentredText),
      label(u"透明标签3", {24, 76, 56, 24}, u"出发站：", {}, false),
      field(u"编辑框3", {80, 76, 96, 24}, false, kCentredText),
      label(u"透明标签4", {210, 75, 56, 24}, u"到达站：", {}, false),
      field(u"编辑框4", {271, 76, 96, 24}, false, kCentredText),
      {.name = group2, .kind = K::GroupBox, .geometry = {8, 121, 408, 199}, .text = QStringLiteral(u"选择乘客"),
       .look = BlueCaption()},
      {.name = QStringLiteral(u"超级按钮1"), .kind = K::FlatButton, .geometry = {67, 322, 80, 40},
       .text = QStringLiteral(u"返回"), .look = Bold(16)},
      {.name = QStringLiteral(u"超级按钮2"), .kind = K::FlatButton, .geometry = {252, 323, 80, 40},
       .text = QStringLiteral(u"确认"), .look = Bold(16)},

      label(u"透明标签5", {23, 19, 56, 24}, u"乘客："),
      {.name = QStringLiteral(u"组合框1"), .kind = K::DropDown, .parent = group2, .geometry = {73, 20, 96, 20}},
      label(u"透明标签8", {209, 19, 40, 24}, u"票种："),
      {.name = QStringLiteral(u"组合框2"), .kind = K::DropDown, .parent = group2, .geometry = {255, 20, 96, 20},
       .items = TicketTypeList()},
      label(u"透明标签6", {13, 56, 56, 24}, u"证件类型："),
      field(u"编辑框5", {73, 60, 96, 19}, true, 0),
      label(u"透明标签7", {196, 55, 56, 24}, u"证件号码："),
      field(u"编辑框6", {255, 57, 144, 19}, true, 0),
      label(u"透明标签9", {12, 88, 56, 24}, u"座位类型："),
      SeatBox(1, {72, 87, 64, 24}),
      SeatBox(2, {147, 88, 64, 24}),
      SeatBox(3, {227, 88, 64, 24}),
      SeatBox(4, {312, 87, 64, 24}),
      SeatBox(5, {72, 112, 64, 24}),
      SeatBox(6, {147, 112, 64, 24}),
      SeatBox(7, {227, 112, 64, 24}),
      SeatBox(8, {312, 112, 64, 24}),
      label(u"透明标签10", {8, 144, 56, 24}, u"卧铺席位："),
      {.name = QStringLiteral(u"组合框3"), .kind = K::DropDown, .parent = group2, .geometry = {73, 144, 96, 20},
       .items = {QStringLiteral(u"上铺"), QStringLiteral(u"中铺"), QStringLiteral(u"下铺")}},
      label(u"透明标签11", {191, 142, 56, 24}, u"高铁座位："),
      {.name = QStringLiteral(u"组合框4"), .kind = K::DropDown, .parent = group2, .geometry = {255, 144, 88, 20},
       .items = {QStringLiteral(u"1A"), QStringLiteral(u"1B"), QStringLiteral(u"1C"), QStringLiteral(u"1D"),
                 QStringLiteral(u"1F")}},
      label(u"透明标签14", {351, 142, 49, 24}, u"仅限一、二等座", kBlue),
      label(u"透明标签12", {8, 170, 80, 24}, u"当前抢票顺序：", kRed),
      label(u"透明标签13", {96, 170, 232, 24}, u"", kRed),
  };
}

// clang-format on

}  // namespace

const std::vector<ControlEntry>& MainWindowLayout() {
  static const std::vector<ControlEntry> controls = MakeMainWindowLayout();
  return controls;
}

const std::vector<ControlEntry>& OrderDialogLayout() {
  static const std::vector<ControlEntry> controls = MakeOrderDialogLayout();
  return controls;
}

QColor FlatButtonColour() { return {99, 180, 250}; }
QColor UnbookableRowColour() { return {128, 128, 128}; }

}  // namespace quillet
