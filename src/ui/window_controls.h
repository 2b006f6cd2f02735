#pragma once
// The controls the handlers work with, as typed pointers with names that say
// what they are. The layout's object names are written here and nowhere else
// in the handlers; a name missing from the layout ends the program at once.
#include <array>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableWidget;
class QTimer;
class QTreeWidget;
class QWidget;

namespace quillet {

inline constexpr int kCaptchaCellCount = 8;
inline constexpr int kSeatBoxCount = 8;

struct MainWindowControls {
  QWidget* window = nullptr;

  // The account area.
  QLineEdit* accountEdit = nullptr;      // 编辑框1
  QLineEdit* passwordEdit = nullptr;     // 编辑框2
  QPushButton* loginButton = nullptr;    // 超级按钮1
  QTreeWidget* passengerList = nullptr;  // 超级列表框1

  // The captcha panel.
  QFrame* captchaPanel = nullptr;                         // 外形框1
  QLabel* captchaPicture = nullptr;                       // 图片框1
  std::array<QLabel*, kCaptchaCellCount> captchaCells{};  // cells 1..8: 透明标签7..14
  QPushButton* refreshCaptchaButton = nullptr;            // 超级按钮2
  QPushButton* confirmLoginButton = nullptr;              // 超级按钮3

  QTabWidget* pageTabs = nullptr;  // 高级选择夹1

  // The query page.
  QDateEdit* travelDateBox = nullptr;         // 日期框1
  QLineEdit* fromStationBox = nullptr;        // 编辑框3
  QComboBox* fromStationList = nullptr;       // 组合框1
  QLineEdit* toStationBox = nullptr;          // 编辑框4
  QComboBox* toStationList = nullptr;         // 组合框2
  QRadioButton* adultTicketButton = nullptr;  // 单选框1
  QPushButton* queryButton = nullptr;         // 超级按钮4
  QGroupBox* queryResultGroup = nullptr;      // 分组框2
  QTableWidget* trainGrid = nullptr;          // 高级表格1

  // The purchase page.
  QTreeWidget* taskList = nullptr;         // 超级列表框2
  QPlainTextEdit* logBox = nullptr;        // 编辑框5
  QLabel* attemptLabel = nullptr;          // 透明标签20
  QPushButton* startGrabButton = nullptr;  // 超级按钮5
  QPushButton* stopGrabButton = nullptr;   // 超级按钮6
  QLabel* landscapePicture = nullptr;      // 图片框2

  // The uncompleted-order page.
  QTreeWidget* orderList = nullptr;         // 超级列表框3
  QLabel* countdownLabel = nullptr;         // 标签1
  QPushButton* loadOrdersButton = nullptr;  // 超级按钮7 "取消订单"
  QPushButton* payOrderButton = nullptr;    // 超级按钮8
  QGroupBox* paymentGroup = nullptr;        // 分组框7

  QTimer* clockTimer = nullptr;     // 时钟1
  QTimer* deadlineTimer = nullptr;  // 时钟2
};

struct OrderDialogControls {
  QDialog* dialog = nullptr;

  QLineEdit* trainEdit = nullptr;                     // 编辑框1
  QLineEdit* dateEdit = nullptr;                      // 编辑框2
  QLineEdit* fromStationEdit = nullptr;               // 编辑框3
  QLineEdit* toStationEdit = nullptr;                 // 编辑框4
  QComboBox* passengerBox = nullptr;                  // 组合框1
  QComboBox* ticketTypeBox = nullptr;                 // 组合框2
  QLineEdit* idTypeEdit = nullptr;                    // 编辑框5
  QLineEdit* idNumberEdit = nullptr;                  // 编辑框6
  std::array<QCheckBox*, kSeatBoxCount> seatBoxes{};  // 选择框1..8
  QComboBox* berthBox = nullptr;                      // 组合框3
  QComboBox* seatLetterBox = nullptr;                 // 组合框4
  QLabel* seatOrderLabel = nullptr;                   // 透明标签13
  QPushButton* backButton = nullptr;                  // 超级按钮1
  QPushButton* confirmButton = nullptr;               // 超级按钮2
};

// The controls of a window built by BuildMainWindowLayout / BuildOrderDialogLayout.
MainWindowControls ResolveMainWindowControls(QWidget* window);
OrderDialogControls ResolveOrderDialogControls(QDialog* dialog);

}  // namespace quillet
