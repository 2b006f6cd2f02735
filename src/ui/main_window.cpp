#include "ui/main_window.h"

#include <QCloseEvent>

#include "app/app_state.h"
#include "ui/layouts.h"
#include "ui/login_page.h"
#include "ui/order_pages.h"
#include "ui/purchase_page.h"
#include "ui/query_page.h"

namespace quillet {

MainWindow::MainWindow(AppState& state, QWidget* parent)
    : QWidget(parent),
      state_(state),
      login_(nullptr),
      query_(nullptr),
      purchase_(nullptr),
      orders_(nullptr) {
  BuildMainWindowLayout(this);
  login_ = new LoginPage(this, state_, this);
  query_ = new QueryPage(this, state_, this);
  purchase_ = new PurchasePage(this, state_, this);
  orders_ = new OrderPages(this, state_, this);
  query_->OnMainWindowCreated();
}

MainWindow::~MainWindow() { Shutdown(); }

void MainWindow::Shutdown() {
  login_->Shutdown();
  query_->Shutdown();
  purchase_->Shutdown();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  Shutdown();
  event->accept();
}

}  // namespace quillet
