#include "ui/window_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtGlobal>

#include "ui/controls.h"

namespace quillet {

namespace {

template <class T>
void Resolve(QWidget* window, T*& control, const QString& name) {
  control = FindControl<T>(window, name);
  if (!control) {
    qFatal("%s: no control %s of class %s in the layout", qPrintable(window->objectName()), qPrintable(name),
           T::staticMetaObject.className());
  }
}

template <class T>
void Resolve(QWidget* window, T*& control, const char16_t* name) {
  Resolve(window, control, QString::fromUtf16(name));
}

}  // namespace

MainWindowControls ResolveMainWindowControls(QWidget* window) {
  MainWindowControls ui;
  ui.window = window;
  Resolve(window, ui.accountEdit, u"编辑框1");
  Resolve(window, ui.passwordEdit, u"编辑框2");
  Resolve(window, ui.loginButton, u"超级按钮1");
  Resolve(window, ui.passengerList, u"超级列表框1");

  Resolve(window, ui.captchaPanel, u"外形框1");
  Resolve(window, ui.captchaPicture, u"图片框1");
  for (int cell = 1; cell <= kCaptchaCellCount; ++cell) {
    Resolve(window, ui.captchaCells[static_cast<std::size_t>(cell - 1)], QStringLiteral(u"透明标签%1").arg(cell + 6));
  }
  Resolve(window, ui.refreshCaptchaButton, u"超级按钮2");
  Resolve(window, ui.confirmLoginButton, u"超级按钮3");

  Resolve(window, ui.pageTabs, u"高级选择夹1");

  Resolve(window, ui.travelDateBox, u"日期框1");
  Resolve(window, ui.fromStationBox, u"编辑框3");
  Resolve(window, ui.fromStationList, u"组合框1");
  Resolve(window, ui.toStationBox, u"编辑框4");
  Resolve(window, ui.toStationList, u"组合框2");
  Resolve(window, ui.adultTicketButton, u"单选框1");
  Resolve(window, ui.queryButton, u"超级按钮4");
  Resolve(window, ui.queryResultGroup, u"分组框2");
  Resolve(window, ui.trainGrid, u"高级表格1");

  Resolve(window, ui.taskList, u"超级列表框2");
  Resolve(window, ui.logBox, u"编辑框5");
  Resolve(window, ui.attemptLabel, u"透明标签20");
  Resolve(window, ui.startGrabButton, u"超级按钮5");
  Resolve(window, ui.stopGrabButton, u"超级按钮6");
  Resolve(window, ui.landscapePicture, u"图片框2");

  Resolve(window, ui.orderList, u"超级列表框3");
  Resolve(window, ui.countdownLabel, u"标签1");
  Resolve(window, ui.loadOrdersButton, u"超级按钮7");
  Resolve(window, ui.payOrderButton, u"超级按钮8");
  Resolve(window, ui.paymentGroup, u"分组框7");

  Resolve(window, ui.clockTimer, u"时钟1");
  Resolve(window, ui.deadlineTimer, u"时钟2");
  return ui;
}

OrderDialogControls ResolveOrderDialogControls(QDialog* dialog) {
  OrderDialogControls ui;
  ui.dialog = dialog;
  Resolve(dialog, ui.trainEdit, u"编辑框1");
  Resolve(dialog, ui.dateEdit, u"编辑框2");
  Resolve(dialog, ui.fromStationEdit, u"编辑框3");
  Resolve(dialog, ui.toStationEdit, u"编辑框4");
  Resolve(dialog, ui.passengerBox, u"组合框1");
  Resolve(dialog, ui.ticketTypeBox, u"组合框2");
  Resolve(dialog, ui.idTypeEdit, u"编辑框5");
  Resolve(dialog, ui.idNumberEdit, u"编辑框6");
  for (int box = 1; box <= kSeatBoxCount; ++box) {
    Resolve(dialog, ui.seatBoxes[static_cast<std::size_t>(box - 1)], QStringLiteral(u"选择框%1").arg(box));
  }
  Resolve(dialog, ui.berthBox, u"组合框3");
  Resolve(dialog, ui.seatLetterBox, u"组合框4");
  Resolve(dialog, ui.seatOrderLabel, u"透明标签13");
  Resolve(dialog, ui.backButton, u"超级按钮1");
  Resolve(dialog, ui.confirmButton, u"超级按钮2");
  return ui;
}

}  // namespace quillet
