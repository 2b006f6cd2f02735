#include "ui/purchase_page.h"

#include <QPushButton>
#include <QTableWidget>
#include <QWidget>

#include "session/session.h"
#include "ui/message_box.h"
#include "ui/order_dialog.h"
#include "ui/order_texts.h"

namespace quillet {

PurchasePage::PurchasePage(const MainWindowControls& ui, Session& session, QObject* parent)
    : QObject(parent), ui_(ui), session_(session) {
  connect(ui_.trainGrid, &QTableWidget::cellDoubleClicked, this, &PurchasePage::OnTrainGridDoubleClicked);
  connect(ui_.startGrabButton, &QPushButton::clicked, this, &PurchasePage::OnStartClicked);
  connect(ui_.stopGrabButton, &QPushButton::clicked, this, &PurchasePage::OnStopClicked);
}

void PurchasePage::OnTrainGridDoubleClicked() {
  // Row 0 is the header row: it names no train, so it opens nothing either.
  if (ui_.trainGrid->currentRow() < 1) return;
  if (!session_.SignedIn()) {
    ShowInfo(ui_.window, order_texts::SignInFirst());
    return;
  }
  OrderDialog dialog(ui_, session_);
  dialog.exec();
}

void PurchasePage::OnStartClicked() {
  session_.StartGrabbing();
  ui_.startGrabButton->setEnabled(false);
}

void PurchasePage::OnStopClicked() { session_.StopGrabbing(); }

}  // namespace quillet
