#include "ui/purchase_page.h"

#include <QDateEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>

#include "app/app_state.h"
#include "ui/controls.h"
#include "ui/layouts.h"
#include "ui/message_box.h"
#include "ui/order_dialog.h"
#include "ui/order_texts.h"
#include "ui/qt_grab_view.h"

namespace quillet {

namespace {

// The program's idea of today: the hidden reference date box, set when the
// window was created.
std::string ReferenceDate(QWidget* window) {
  const auto* box = FindControl<QDateEdit>(window, QStringLiteral("日期框2"));
  const QDate date = box ? box->date() : QDate::currentDate();
  return date.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

}  // namespace

PurchasePage::PurchasePage(QWidget* mainWindow, AppState& state, QObject* parent)
    : QObject(parent),
      window_(mainWindow),
      state_(state),
      grid_(FindControl<QTableWidget>(mainWindow, QStringLiteral("高级表格1"))),
      view_(new QtGrabView(mainWindow, this)) {
  if (state_.client) state_.grab = std::make_unique<GrabController>(*state_.client, *view_, ReferenceDate(window_));

  BindHandler(window_, QStringLiteral("OnTrainGridDoubleClicked"), this, [this](int) { OnTrainGridDoubleClicked(); });
  BindHandler(window_, QStringLiteral("OnStartGrabClicked"), this, [this](int) { OnStartClicked(); });
  BindHandler(window_, QStringLiteral("StopGrabbing"), this, [this](int) { OnStopClicked(); });
}

PurchasePage::~PurchasePage() { Shutdown(); }

void PurchasePage::Shutdown() {
  // The controller holds a reference to this page's view: end its threads and
  // drop it while the view still exists.
  if (state_.grab) {
    state_.grab->StopAndJoinAll();
    state_.grab.reset();
  }
}

void PurchasePage::OnTrainGridDoubleClicked() {
  if (!grid_) return;
  // Row 0 is the header row: it names no train, so it opens nothing either.
  if (grid_->currentRow() < 1) return;
  const auto* login = FindControl<QPushButton>(window_, QStringLiteral("超级按钮1"));
  if (login && login->isEnabled()) {
    ShowInfo(window_, order_texts::SignInFirst());
    return;
  }
  OrderDialog dialog(window_, state_);
  dialog.exec();
}

void PurchasePage::OnStartClicked() {
  auto* start = FindControl<QPushButton>(window_, QStringLiteral("超级按钮5"));
  if (!state_.grab) return;
  view_->TakeTaskSnapshot();
  state_.grab->StartGrabbing();
  if (start) start->setEnabled(false);
}

void PurchasePage::OnStopClicked() {
  if (state_.grab) {
    state_.grab->StopGrabbing();
    return;
  }
  if (auto* start = FindControl<QPushButton>(window_, QStringLiteral("超级按钮5"))) start->setEnabled(true);
}

}  // namespace quillet
