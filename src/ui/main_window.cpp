#include "ui/main_window.h"

#include <QCloseEvent>
#include <QDate>
#include <QTabWidget>

#include "session/session.h"
#include "ui/controls.h"
#include "ui/layouts.h"
#include "ui/login_page.h"
#include "ui/order_pages.h"
#include "ui/purchase_page.h"
#include "ui/qt_session_view.h"
#include "ui/query_page.h"

namespace quillet {

MainWindow::MainWindow(Session& session, QWidget* parent)
    : QWidget(parent),
      session_(session),
      view_(nullptr),
      login_(nullptr),
      query_(nullptr),
      purchase_(nullptr),
      orders_(nullptr) {
  BuildMainWindowLayout(this, QDate::fromString(QString::fromStdString(session_.ReferenceDate()), Qt::ISODate));
  ui_ = ResolveMainWindowControls(this);
  view_ = new QtSessionView(
      ui_, [&session = session_] { return session.Status(); }, this);
  session_.AddObserver(*view_);
  login_ = new LoginPage(ui_, session_, this);
  query_ = new QueryPage(ui_, session_, this);
  purchase_ = new PurchasePage(ui_, session_, this);
  orders_ = new OrderPages(ui_, this);
  query_->OnMainWindowCreated();
}

MainWindow::~MainWindow() {
  Shutdown();
  session_.RemoveObserver(*view_);
}

void MainWindow::ShowPurchasePage() {
  if (auto* tabs = FindControl<QTabWidget>(this, QStringLiteral(u"高级选择夹1"))) tabs->setCurrentIndex(1);
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void MainWindow::AppendLogLine(const std::string& line) { view_->AppendLogLine(line); }

void MainWindow::Shutdown() {
  login_->Shutdown();
  query_->Shutdown();
  // The workers tell the view: they end before it does.
  session_.Close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  Shutdown();
  event->accept();
}

}  // namespace quillet
