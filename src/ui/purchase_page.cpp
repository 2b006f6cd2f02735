#include "ui/purchase_page.h"

#include <QPushButton>
#include <QTableWidget>
#include <QWidget>

#include "session/session.h"
#include "ui/controls.h"
#include "ui/layouts.h"
#include "ui/message_box.h"
#include "ui/order_dialog.h"
#include "ui/order_texts.h"

namespace quillet {

PurchasePage::PurchasePage(QWidget* mainWindow, Session& session, QObject* parent)
    : QObject(parent),
      window_(mainWindow),
      session_(session),
      grid_(FindControl<QTableWidget>(mainWindow, QStringLiteral("高级表格1"))) {
  BindHandler(window_, QStringLiteral("OnTrainGridDoubleClicked"), this, [this](int) { OnTrainGridDoubleClicked(); });
  BindHandler(window_, QStringLiteral("OnStartGrabClicked"), this, [this](int) { OnStartClicked(); });
  BindHandler(window_, QStringLiteral("StopGrabbing"), this, [this](int) { OnStopClicked(); });
}

void PurchasePage::OnTrainGridDoubleClicked() {
  if (!grid_) return;
  // Row 0 is the header row: it names no train, so it opens nothing either.
  if (grid_->currentRow() < 1) return;
  if (!session_.SignedIn()) {
    ShowInfo(window_, order_texts::SignInFirst());
    return;
  }
  OrderDialog dialog(window_, session_);
  dialog.exec();
}

void PurchasePage::OnStartClicked() {
  session_.StartGrabbing();
  if (auto* start = FindControl<QPushButton>(window_, QStringLiteral("超级按钮5"))) start->setEnabled(false);
}

void PurchasePage::OnStopClicked() { session_.StopGrabbing(); }

}  // namespace quillet
