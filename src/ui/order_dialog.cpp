#include "ui/order_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QWindow>

#include "grab/order_wish.h"
#include "session/session.h"
#include "ui/controls.h"
#include "ui/layouts.h"
#include "ui/message_box.h"
#include "util/text.h"

namespace quillet {

namespace {

template <typename T>
T* Control(QWidget* window, const char16_t* name) {
  return FindControl<T>(window, QString::fromUtf16(name));
}

QString LineText(QWidget* window, const char16_t* name) {
  const auto* edit = Control<QLineEdit>(window, name);
  return edit ? edit->text() : QString();
}

void SetLineText(QWidget* window, const char16_t* name, const QString& text) {
  if (auto* edit = Control<QLineEdit>(window, name)) edit->setText(text);
}

constexpr const char16_t* kSeatBoxes[] = {u"选择框1", u"选择框2", u"选择框3", u"选择框4",
                                          u"选择框5", u"选择框6", u"选择框7", u"选择框8"};

}  // namespace

OrderDialog::OrderDialog(QWidget* mainWindow, Session& session)
    : QDialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint), mainWindow_(mainWindow), session_(session) {
  setObjectName(QStringLiteral("OrderDialog"));
  setWindowModality(Qt::ApplicationModal);
  BuildOrderDialogLayout(this);
  setWindowTitle(QString());

  // Created afresh each time: nothing picked, nothing ticked.
  for (const char16_t* name : {u"组合框1", u"组合框2", u"组合框3", u"组合框4"})
    if (auto* box = Control<QComboBox>(this, name)) box->setCurrentIndex(-1);
  FillOrderDialog();

  for (const char16_t* name : kSeatBoxes)
    if (auto* box = Control<QCheckBox>(this, name)) box->setChecked(false);

  // The bindings are part of the dialog's layout; seat boxes pass 1..8.
  BindHandler(this, QStringLiteral("OnDialogPassengerPicked"), this, [this](int) {
    if (const auto* passengers = Control<QComboBox>(this, u"组合框1"))
      OnDialogPassengerPicked(passengers->currentIndex());
  });
  BindHandler(this, QStringLiteral("ToggleSeatType"), this, [this](int box) {
    const auto* check = box >= 1 && box <= 8 ? Control<QCheckBox>(this, kSeatBoxes[box - 1]) : nullptr;
    if (check) ToggleSeatType(box - 1, check->isChecked());
  });
  BindHandler(this, QStringLiteral("ConfirmOrder"), this, [this](int) { ConfirmOrder(); });
  BindHandler(this, QStringLiteral("OnBackClicked"), this, [this](int) { reject(); });
}

void OrderDialog::showEvent(QShowEvent* event) {
  // Keep the dialog above the main window, centred on the screen.
  if (mainWindow_) {
    if (QWindow* handle = windowHandle(); handle && mainWindow_->window()->windowHandle())
      handle->setTransientParent(mainWindow_->window()->windowHandle());
  }
  CentreOnScreen(this);
  QDialog::showEvent(event);
}

void OrderDialog::FillOrderDialog() {
  if (auto* grid = Control<QTableWidget>(mainWindow_, u"高级表格1")) {
    const int row = grid->currentRow();
    SetLineText(this, u"编辑框1", row >= 0 ? GridCellText(grid, row, 0) : QString());
  }
  if (const auto* date = Control<QDateEdit>(mainWindow_, u"日期框1"))
    SetLineText(this, u"编辑框2", date->date().toString(QStringLiteral("yyyy-MM-dd")));
  SetLineText(this, u"编辑框3", LineText(mainWindow_, u"编辑框3"));
  SetLineText(this, u"编辑框4", LineText(mainWindow_, u"编辑框4"));

  if (auto* passengers = Control<QComboBox>(this, u"组合框1")) {
    const QSignalBlocker quiet(passengers);
    for (const PassengerRecord& p : session_.Passengers()) passengers->addItem(FromGbk(PassengerEntryText(p)));
    passengers->setCurrentIndex(-1);
  }
}

void OrderDialog::OnDialogPassengerPicked(int index) {
  const auto* passengers = Control<QComboBox>(this, u"组合框1");
  const auto* list = Control<QTreeWidget>(mainWindow_, u"超级列表框1");
  if (!passengers || !list || index < 0) return;
  const QString name = FromGbk(TextBefore(ToGbk(passengers->itemText(index)), "("));
  for (int r = 0; r < list->topLevelItemCount(); ++r) {
    const QTreeWidgetItem* row = list->topLevelItem(r);
    if (row->text(1) != name) continue;
    SetLineText(this, u"编辑框5", row->text(4));
    SetLineText(this, u"编辑框6", row->text(5));
    return;
  }
}

void OrderDialog::ToggleSeatType(int box, bool nowChecked) {
  const std::vector<std::string> names = DialogSeatNames();
  if (box < 0 || static_cast<std::size_t>(box) >= names.size()) return;
  seatOrderText_ = quillet::ToggleSeatType(seatOrderText_, names[static_cast<std::size_t>(box)], nowChecked);
  if (auto* label = Control<QLabel>(this, u"透明标签13")) label->setText(FromGbk(seatOrderText_));
}

void OrderDialog::ConfirmOrder() {
  OrderForm form;
  form.train = ToGbk(LineText(this, u"编辑框1"));
  form.date = ToGbk(LineText(this, u"编辑框2"));
  form.from = ToGbk(LineText(this, u"编辑框3"));
  form.to = ToGbk(LineText(this, u"编辑框4"));
  if (const auto* passengers = Control<QComboBox>(this, u"组合框1"); passengers && passengers->currentIndex() >= 0)
    form.passengerEntry = ToGbk(passengers->currentText());
  form.idType = ToGbk(LineText(this, u"编辑框5"));
  form.idNo = ToGbk(LineText(this, u"编辑框6"));
  if (const auto* types = Control<QComboBox>(this, u"组合框2"); types && types->currentIndex() >= 0)
    form.ticketTypeItem = ToGbk(types->currentText());
  form.seatOrderText = seatOrderText_;

  if (const std::string problem = CheckOrderForm(form); !problem.empty()) {
    ShowInfo(this, problem);
    return;
  }

  // The window's view adds the task-list row.
  session_.AddWish(WishFromForm(form));
  if (auto* tabs = Control<QTabWidget>(mainWindow_, u"高级选择夹1")) tabs->setCurrentIndex(1);
  accept();
}

}  // namespace quillet
