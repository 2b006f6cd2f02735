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
#include "ui/gbk_qt.h"
#include "ui/layouts.h"
#include "ui/message_box.h"
#include "ui/order_form.h"
#include "ui/seat_positions.h"
#include "util/text.h"

namespace quillet {

OrderDialog::OrderDialog(const MainWindowControls& mainWindow, Session& session)
    : QDialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint), mainWindow_(mainWindow), session_(session) {
  setObjectName(QStringLiteral("OrderDialog"));
  setWindowModality(Qt::ApplicationModal);
  BuildOrderDialogLayout(this);
  ui_ = ResolveOrderDialogControls(this);
  setWindowTitle(QString());

  // Created afresh each time: nothing picked, nothing ticked.
  for (QComboBox* box : {ui_.passengerBox, ui_.ticketTypeBox, ui_.berthBox, ui_.seatLetterBox})
    box->setCurrentIndex(-1);
  FillOrderDialog();
  for (QCheckBox* box : ui_.seatBoxes) box->setChecked(false);

  connect(ui_.passengerBox, &QComboBox::activated, this, &OrderDialog::OnDialogPassengerPicked);
  for (int box = 0; box < kSeatBoxCount; ++box) {
    connect(ui_.seatBoxes[static_cast<std::size_t>(box)], &QCheckBox::clicked, this,
            [this, box](bool nowChecked) { ToggleSeatType(box, nowChecked); });
  }
  connect(ui_.confirmButton, &QPushButton::clicked, this, &OrderDialog::ConfirmOrder);
  connect(ui_.backButton, &QPushButton::clicked, this, &OrderDialog::reject);
}

void OrderDialog::showEvent(QShowEvent* event) {
  // Keep the dialog above the main window, centred on the screen.
  if (QWindow* handle = windowHandle(); handle && mainWindow_.window->windowHandle())
    handle->setTransientParent(mainWindow_.window->windowHandle());
  CentreOnScreen(this);
  QDialog::showEvent(event);
}

void OrderDialog::FillOrderDialog() {
  QTableWidget* grid = mainWindow_.trainGrid;
  const int row = grid->currentRow();
  ui_.trainEdit->setText(row >= 0 ? GridCellText(grid, row, 0) : QString());
  ui_.dateEdit->setText(mainWindow_.travelDateBox->date().toString(QStringLiteral("yyyy-MM-dd")));
  ui_.fromStationEdit->setText(mainWindow_.fromStationBox->text());
  ui_.toStationEdit->setText(mainWindow_.toStationBox->text());

  const QSignalBlocker quiet(ui_.passengerBox);
  for (const PassengerRecord& p : session_.Passengers()) ui_.passengerBox->addItem(FromGbk(PassengerEntryText(p)));
  ui_.passengerBox->setCurrentIndex(-1);
}

void OrderDialog::OnDialogPassengerPicked(int index) {
  const QTreeWidget* list = mainWindow_.passengerList;
  if (index < 0) return;
  const QString name = FromGbk(TextBefore(ToGbk(ui_.passengerBox->itemText(index)), "("));
  for (int r = 0; r < list->topLevelItemCount(); ++r) {
    const QTreeWidgetItem* row = list->topLevelItem(r);
    if (row->text(1) != name) continue;
    ui_.idTypeEdit->setText(row->text(4));
    ui_.idNumberEdit->setText(row->text(5));
    return;
  }
}

void OrderDialog::ToggleSeatType(int box, bool nowChecked) {
  const std::vector<std::string> names = DialogSeatNames();
  if (box < 0 || static_cast<std::size_t>(box) >= names.size()) return;
  seatOrderText_ = quillet::ToggleSeatType(seatOrderText_, names[static_cast<std::size_t>(box)], nowChecked);
  ui_.seatOrderLabel->setText(FromGbk(seatOrderText_));
}

void OrderDialog::ConfirmOrder() {
  OrderForm form;
  form.train = ToGbk(ui_.trainEdit->text());
  form.date = ToGbk(ui_.dateEdit->text());
  form.from = ToGbk(ui_.fromStationEdit->text());
  form.to = ToGbk(ui_.toStationEdit->text());
  if (ui_.passengerBox->currentIndex() >= 0) form.passengerEntry = ToGbk(ui_.passengerBox->currentText());
  form.idType = ToGbk(ui_.idTypeEdit->text());
  form.idNo = ToGbk(ui_.idNumberEdit->text());
  if (ui_.ticketTypeBox->currentIndex() >= 0) form.ticketTypeItem = ToGbk(ui_.ticketTypeBox->currentText());
  form.seatOrderText = seatOrderText_;

  if (const std::string problem = CheckOrderForm(form); !problem.empty()) {
    ShowInfo(this, problem);
    return;
  }

  // The window's view adds the task-list row.
  session_.AddWish(WishFromForm(form));
  mainWindow_.pageTabs->setCurrentIndex(1);
  accept();
}

}  // namespace quillet
