#include "ui/login_page.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "booking/captcha_cells.h"
#include "session/session.h"
#include "ui/controls.h"
#include "ui/gbk_qt.h"
#include "ui/layouts.h"
#include "ui/message_box.h"
#include "ui/page_texts.h"

namespace quillet {

namespace {

QString CellName(int cell) { return QStringLiteral(u"透明标签%1").arg(cell + 6); }  // cells 1..8: 透明标签7..14

}  // namespace

LoginPage::LoginPage(QWidget* mainWindow, Session& session, QObject* parent)
    : QObject(parent), window_(mainWindow), session_(session) {
  BindHandler(window_, QStringLiteral("OnLoginClicked"), this, [this](int) { OnLoginClicked(); });
  BindHandler(window_, QStringLiteral("OnRefreshCaptchaClicked"), this, [this](int) { OnRefreshCaptchaClicked(); });
  BindHandler(window_, QStringLiteral("OnCaptchaCellPressed"), this, [this](int cell) { OnCaptchaCellPressed(cell); });
  BindHandler(window_, QStringLiteral("OnConfirmLoginClicked"), this, [this](int) { OnConfirmLoginClicked(); });
}

LoginPage::~LoginPage() { Shutdown(); }

void LoginPage::Shutdown() {
  calls_.StopAll();
  if (passengerThread_.joinable()) {
    passengerThread_.request_stop();
    passengerThread_.join();
  }
}

void LoginPage::ClearCaptcha() {
  for (int cell = 1; cell <= 8; ++cell) {
    if (auto* label = FindControl<QLabel>(window_, CellName(cell))) label->clear();
  }
  for (std::string& answer : cellAnswers_) answer.clear();
}

// While a captcha fetch or a login is under way the sign-in handlers do
// nothing: their steps wait on that answer, as they would in a window that
// blocks for the call.
void LoginPage::FetchCaptcha() {
  Session* session = &session_;
  calls_.Start(
      kSignIn, [session](std::stop_token stop) { return session->FetchCaptcha(stop).picture; },
      [this](const std::string& picture) {
        ShowPictureBytes(FindControl<QLabel>(window_, QStringLiteral(u"图片框1")),
                         QByteArray(picture.data(), static_cast<qsizetype>(picture.size())));
      });
}

void LoginPage::OnLoginClicked() {
  if (calls_.Running(kSignIn)) return;
  auto* account = FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框1"));
  auto* password = FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框2"));
  if (account->text().isEmpty() || password->text().isEmpty()) {
    ShowInfo(window_, page_texts::EnterAccount());
    return;
  }
  ClearCaptcha();
  FindControl<QFrame>(window_, QStringLiteral(u"外形框1"))->show();
  FetchCaptcha();
}

void LoginPage::OnRefreshCaptchaClicked() {
  if (calls_.Running(kSignIn)) return;
  ClearCaptcha();
  FetchCaptcha();
}

void LoginPage::OnCaptchaCellPressed(int cell) {
  if (cell < 1 || cell > 8 || calls_.Running(kSignIn)) return;
  auto* label = FindControl<QLabel>(window_, CellName(cell));
  std::string& answer = cellAnswers_[static_cast<size_t>(cell - 1)];
  if (label->text() == page_texts::CellMark()) {
    label->clear();
    answer.clear();
  } else if (label->text().isEmpty()) {
    label->setText(page_texts::CellMark());
    answer = CaptchaCellPoints()[static_cast<size_t>(cell - 1)];
  }
}

void LoginPage::OnConfirmLoginClicked() {
  if (calls_.Running(kSignIn)) return;
  std::array<bool, 8> marked{};
  bool anyMarked = false;
  for (int cell = 1; cell <= 8; ++cell) {
    const QString caption = FindControl<QLabel>(window_, CellName(cell))->text();
    marked[static_cast<size_t>(cell - 1)] = caption == page_texts::CellMark();
    anyMarked = anyMarked || !caption.isEmpty();
  }
  if (!anyMarked) {
    ShowInfo(window_, page_texts::PickCaptcha());
    return;
  }
  const std::string answer = BuildCaptchaAnswer(cellAnswers_, marked);
  const std::string account = ToGbk(FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框1"))->text());
  const std::string password = ToGbk(FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框2"))->text());

  Session* session = &session_;
  calls_.Start(
      kSignIn,
      [session, account, password, answer](std::stop_token stop) {
        return session->SignIn(account, password, answer, stop);
      },
      [this](const ServiceResult& result) { OnLoginAnswered(result); });
}

void LoginPage::OnLoginAnswered(const ServiceResult& result) {
  if (result.Done()) {
    FindControl<QFrame>(window_, QStringLiteral(u"外形框1"))->hide();
    FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框1"))->setEnabled(false);
    FindControl<QLineEdit>(window_, QStringLiteral(u"编辑框2"))->setEnabled(false);
    FindControl<QPushButton>(window_, QStringLiteral(u"超级按钮1"))->setEnabled(false);
    StartPassengerLoading();
    return;
  }
  // Any other failure leaves the panel as it is, marks included.
  if (result.kind != ServiceResultKind::kCaptchaRefused) return;
  ShowInfo(window_, page_texts::CaptchaRetry());
  ClearCaptcha();
  FetchCaptcha();
}

void LoginPage::StartPassengerLoading() {
  if (passengerThread_.joinable()) return;  // one load per run: the login button is disabled by now
  // The session tells the window's view, which fills the passenger list.
  Session* session = &session_;
  passengerThread_ = std::jthread([session](std::stop_token stop) { session->LoadPassengers(stop); });
}

}  // namespace quillet
